#pragma once
// Authors, publishers, literary classifications, item types and languages (T05, T06, T07, T08,
// T14): five lookup tables that describe the holdings, kept by one implementation. Each member
// is a row of a small description (its table, columns, messages and in-use test); the list, the
// save, the in-use test and the soft delete are the same for all five.

#include <string>
#include <vector>

#include "rest/wire/field_types.h"

namespace livrexa {

class TDM;

struct TAuthorityTable {
  int flag;                 // of "Consulta", "Grava" and "Exclui"
  const char* table;        // T05_AUTOR1
  const char* prefix;       // T05: of the Desativado, Exclusao and ExcluidoPor columns
  const char* key;          // T05_NumAutor
  const char* description;  // T05_Autor: unique among live rows
  const char* listColumns;  // the list's select list, in the clients' column order
  const char* further;      // a further column of the save (nullptr when there is none)
  TFieldType furtherType;   // ftString or ftInteger
  const char* duplicateMessage;
  // In-use test: the live holdings whose column names the record, or (nullptr) the author links.
  const char* holdingsColumn;
  const char* inUseHead;
};

// The five members, in flag order: 140 authors, 150 publishers, 160 classifications, 170 item
// types, 230 languages.
const std::vector<TAuthorityTable>& AuthorityTables();

// ConsultaAutores, ConsultaEditoras, ConsultaClassificacoes, ConsultaTiposItem, ConsultaIdiomas:
// the live records, without the deactivated ones unless Desativados, containing Filtro when it is
// not blank; rows left open in Query1.
void ConsultaCadastro(TDM& dm, const TAuthorityTable& member, const std::string& Filtro, bool Desativados);
// GravaAutor, GravaEditora, ...: the current row of FDMemTable1, inserted (key 0 or less) or
// updated; answers the record's number; raises the duplicate message or any failure.
std::string GravaCadastro(TDM& dm, const TAuthorityTable& member);
// VerificaUsoAutor, VerificaUsoEditora, ...: raises the in-use message when a holding uses it.
void VerificaUsoCadastro(TDM& dm, const TAuthorityTable& member, int Numero);
// ExcluiAutor, ExcluiEditora, ...: the soft delete after the in-use test; answers "OK" or the
// message of what stopped it.
std::string ExcluiCadastro(TDM& dm, const TAuthorityTable& member, int Numero, int NumUsuario);

void RegisterAuthorityTableOperations();

}  // namespace livrexa
