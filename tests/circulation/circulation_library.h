#pragma once
// A small library for the circulation tests, seeded on top of the demo database (readers 1 Ana,
// 2 João, 3 Márcia; holdings 1 to 4; item types 1 Livro, 2 Revista, 3 Dicionário).
//
// Holdings added: 5 Memórias Póstumas de Brás Cubas, 6 Revista Ciência Hoje, 7 Dicionário Aurélio,
// 8 Manual do Professor, 9 Quincas Borba (deleted), 10 O Cortiço.
//
// Loans (header: reader, day) and their items (T13_SeqEmprest: holding, due, state):
//   1 Ana 04/03/2024     1: h1 due 11/03 returned 15/03, fine 4.00 open
//                        2: h2 due 11/03 returned 10/03, no fine
//   2 João 20/03/2024    3: h3 due 27/03 out
//                        4: h5 due 27/03 returned 02/04, fine 6.00 paid 02/04
//   3 Ana 10/04/2024     5: h6 due 13/04 returned 20/04, fine 7.00 cancelled 21/04, never paid
//                        6: h1 due 17/04 out
//   4 Márcia 02/05/2024  7: h7 due 03/05 out, but the item is deleted
//   5 João 06/05/2024    8: h8 due 13/05 returned 20/05, fine 2.50 paid 21/05 and cancelled 22/05
//                        9: h2 due 13/05 out
// Holdings 1, 2 and 3 carry the loan mark; every other one is free.
//
// Reservations (T15_NumReserva: reader, holding, day made):
//   1: Ana, h3, 28/04/2024        2: João, h3, 29/04/2024      3: Márcia, h3, 30/04/2024, deleted
//   4: reader 0, h3, 27/04/2024   5: João, h1, 03/05/2024, used  6: Ana, h99 (no such holding), 04/05/2024

#include <string>
#include <vector>

#include "support/tdm_fixture.h"

namespace livrexa::test {

class CirculationTest : public TdmTest {
 protected:
  void SetUp() override;

  // The rows a desk sends.
  static std::string LoanHeader(int numLeitor, const TCell& data);
  static std::string LoanItems(const std::vector<int>& acervos, const TCell& previsao);
  static std::string ReturnRow(int numEmprest, int numAcervo, const TCell& multa, bool pago);
  static std::string RenewalRow(int numEmprest, int numAcervo, const TCell& previsao);
  EventReply Lend(int numLeitor, const std::vector<int>& acervos);

  // The database as it stands.
  bool Emprestado(int numAcervo);
  int Count(const std::string& sql);
  // T13_SeqEmprest of the live items of the holding that are still out, as "3,10" ("" for none).
  std::string OpenItems(int numAcervo);

  // The key of each of a reply's rows (its key columns joined by "/"), in the order of the query's
  // sort columns; rows that tie on them (their order is the engine's) are taken in key order.
  static std::vector<std::string> KeysInOrder(const EventReply& reply, const std::vector<std::string>& key,
                                              const std::vector<std::string>& order);
  // The upper-case column names of a reply's rows.
  static std::vector<std::string> Columns(const EventReply& reply);
  // A query that failed: no rows, and the error block naming the message.
  static void ExpectQueryError(const EventReply& reply, const std::string& message);
};

// The item refusal of a loan.
std::string ItemMessage(const std::string& sixDigits);

}  // namespace livrexa::test
