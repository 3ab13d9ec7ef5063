// Fills a new, empty Livrexa database with a large school library: 100,000 holdings with
// authors and contents entries, photos of 50 to 300 KB, 20,000 readers in 600 classes, 200,000
// loan items in every state, 10,000 reservations, the staff's users and an error log, all with
// Portuguese texts. The numbers are the same on every run (fixed seed), so the benchmarks that
// run on the library meet the same rows.
//
//   make_library DATABASE [--holdings N] [--readers N] [--loans N] [--photos N] [--users N]
//                [--no-statistics]
//
// At the end the selectivity of every index is computed from the rows, as a restore or
// db/upgrade-indexes.sql leaves it; --no-statistics keeps the values the indexes got when they
// were made on the empty tables, as in a database filled over the years.
//
// The database must exist and be empty (scripts/make-large-library.sh creates it from the
// schema and runs this program).

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <random>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "bench/large_library.h"
#include "handlers/gateway/connection.h"
#include "handlers/gateway/query.h"
#include "handlers/local_clock.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa::bench {
namespace {

constexpr std::string_view kFirstNames[] = {
    "Ana",     "Maria",     "João",      "José",      "Pedro",    "Lucas",     "Gabriel",  "Rafael",
    "Matheus", "Enzo",      "Miguel",    "Arthur",    "Heitor",   "Davi",      "Bernardo", "Samuel",
    "Lorenzo", "Théo",      "Helena",    "Alice",     "Laura",    "Valentina", "Sophia",   "Isabela",
    "Manuela", "Júlia",     "Luíza",     "Cecília",   "Beatriz",  "Mariana",   "Lívia",    "Giovanna",
    "Yasmin",  "Letícia",   "Clara",     "Lara",      "Antônio",  "Francisco", "Carlos",   "Paulo",
    "Luís",    "Marcos",    "Raimundo",  "Sebastião", "Fábio",    "Vinícius",  "Caio",     "Otávio",
    "Joaquim", "Benício",   "Emanuelly", "Esther",    "Rebeca",   "Sara",      "Débora",   "Tânia",
    "Márcia",  "Conceição", "Aparecida", "Raquel",    "Patrícia", "Simone",    "Cláudia"};
constexpr std::string_view kSurnames[] = {
    "Silva",      "Santos",    "Oliveira", "Souza",       "Rodrigues", "Ferreira",  "Alves",      "Pereira",
    "Lima",       "Gomes",     "Costa",    "Ribeiro",     "Martins",   "Carvalho",  "Almeida",    "Lopes",
    "Soares",     "Fernandes", "Vieira",   "Barbosa",     "Rocha",     "Dias",      "Nascimento", "Andrade",
    "Moreira",    "Nunes",     "Marques",  "Machado",     "Mendes",    "Freitas",   "Cardoso",    "Ramos",
    "Gonçalves",  "Santana",   "Teixeira", "Araújo",      "Conceição", "Magalhães", "Brandão",    "Assunção",
    "Figueiredo", "Guimarães", "Lacerda",  "Peixoto",     "Sampaio",   "Falcão",    "Queiroz",    "Camargo",
    "Muniz",      "Toledo",    "Aragão",   "Bittencourt", "Damasceno", "Prado"};
constexpr std::string_view kTitleNouns[] = {
    "Segredo", "Floresta",   "Menino",    "Menina",    "Viagem",  "Rio",        "Sertão",   "Cidade",
    "Mar",     "Estrela",    "Caminho",   "Jardim",    "Casa",    "Castelo",    "Dragão",   "Noite",
    "Manhã",   "Lua",        "Sol",       "Coração",   "Memória", "História",   "Aventura", "Ilha",
    "Tesouro", "Vento",      "Chuva",     "Amizade",   "Escola",  "Biblioteca", "Palavra",  "Poema",
    "Canção",  "Sonho",      "Lenda",     "Mistério",  "Máquina", "Universo",   "Planeta",  "Corpo",
    "Ciência", "Matemática", "Geografia", "Gramática", "Música"};
constexpr std::string_view kTitleAdjectives[] = {
    "Encantada",  "Perdido",  "Secreto",  "Azul",       "Antigo",     "Invisível", "Distante", "Esquecido",
    "Brasileiro", "Mágico",   "Pequeno",  "Grande",     "Silencioso", "Dourado",   "Selvagem", "Feliz",
    "Último",     "Primeiro", "Estranho", "Fantástico", "Verdadeiro", "Escondido", "Eterno",   "Ilustrado"};
constexpr std::string_view kTitleStarts[] = {"O", "A", "Os", "As", "Um", "Uma", "Meu", "Minha", ""};
constexpr std::string_view kSubjects[] = {"Literatura brasileira",
                                          "Poesia",
                                          "Romance",
                                          "Contos",
                                          "Crônicas",
                                          "História do Brasil",
                                          "Geografia",
                                          "Ciências",
                                          "Matemática",
                                          "Língua portuguesa",
                                          "Artes",
                                          "Filosofia",
                                          "Folclore",
                                          "Meio ambiente",
                                          "Astronomia",
                                          "Biografias",
                                          "Teatro",
                                          "Educação física"};
constexpr std::string_view kCities[] = {
    "São Paulo", "Rio de Janeiro", "Belo Horizonte", "Salvador",    "Fortaleza",     "Recife",
    "Curitiba",  "Porto Alegre",   "Manaus",         "Belém",       "Goiânia",       "São Luís",
    "Maceió",    "Natal",          "Teresina",       "João Pessoa", "Florianópolis", "Vitória",
    "Cuiabá",    "Campo Grande",   "Aracaju",        "Palmas",      "Macapá",        "Boa Vista"};
constexpr std::string_view kStates[] = {"SP", "RJ", "MG", "BA", "CE", "PE", "PR", "RS",
                                        "AM", "PA", "GO", "MA", "AL", "RN", "PI", "PB",
                                        "SC", "ES", "MT", "MS", "SE", "TO", "AP", "RR"};
constexpr std::string_view kDistricts[] = {"Centro",      "Vila Mariana",   "Boa Viagem",       "Savassi",
                                           "Copacabana",  "Jardim América", "Liberdade",        "Aldeota",
                                           "Pituba",      "Batel",          "Moinhos de Vento", "Lagoa Nova",
                                           "Ponta Verde", "São Cristóvão"};
constexpr std::string_view kIndexWords[] = {"Introdução",    "Apresentação", "Capítulo",   "Primeira parte",
                                            "Segunda parte", "O começo",     "A partida",  "O encontro",
                                            "A descoberta",  "O retorno",    "Exercícios", "Glossário",
                                            "Referências",   "Epílogo",      "Anexo",      "Atividades",
                                            "Vocabulário",   "Conclusão",    "Prefácio",   "Notas do autor"};

class TRandom {
 public:
  explicit TRandom(uint64_t seed) : rng_(seed) {}
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  template <class T, size_t N>
  std::string_view Pick(const T (&list)[N]) {
    return list[static_cast<size_t>(Int(0, static_cast<int>(N) - 1))];
  }
  uint64_t Bits() { return rng_(); }

 private:
  std::mt19937_64 rng_;
};

std::string Digits(TRandom& r, int count) {
  std::string out;
  for (int i = 0; i < count; ++i) out.push_back(static_cast<char>('0' + r.Int(0, 9)));
  return out;
}

std::string PersonName(TRandom& r) {
  std::string name(r.Pick(kFirstNames));
  if (r.Chance(0.3)) name += " " + std::string(r.Pick(kFirstNames));
  name += " " + std::string(r.Pick(kSurnames));
  if (r.Chance(0.7)) name += " " + std::string(r.Pick(kSurnames));
  return name;
}

std::string Title(TRandom& r) {
  std::string start(r.Pick(kTitleStarts));
  std::string title = start.empty() ? "" : start + " ";
  title += r.Pick(kTitleNouns);
  if (r.Chance(0.6)) title += " " + std::string(r.Pick(kTitleAdjectives));
  if (r.Chance(0.4)) title += " de " + std::string(r.Pick(kTitleNouns));
  if (r.Chance(0.15)) title += " " + std::to_string(r.Int(1, 9));
  return title;
}

// Bytes that look like a JPEG file: its markers around incompressible data.
std::string Photo(TRandom& r, size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i + 8 <= size; i += 8) {
    const uint64_t v = r.Bits();
    std::memcpy(bytes.data() + i, &v, 8);
  }
  static constexpr unsigned char kHead[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
  std::memcpy(bytes.data(), kHead, sizeof kHead);
  bytes[size - 2] = static_cast<char>(0xFF);
  bytes[size - 1] = static_cast<char>(0xD9);
  return bytes;
}

struct TCounts {
  int holdings = 100000;
  int readers = 20000;
  int classes = 600;
  int loans = 200000;
  int reservations = 10000;
  int photos = 3000;
  int users = 50;
  int authors = 8000;
  bool statistics = true;  // false: the index selectivity of a database filled over the years
};

class TGenerator {
 public:
  TGenerator(const std::string& db, TCounts counts)
      : connection_([db] { return db; }, nullptr), query_(connection_), counts_(counts), r_(20240315) {}

  void Run() {
    today_ = Date();
    Step("autoridades", [&] { Authorities(); });
    Step("usuarios", [&] { Users(); });
    Step("turmas e leitores", [&] { Readers(); });
    Step("acervo", [&] { Holdings(); });
    Step("autores e indices", [&] { LinksAndContents(); });
    Step("fotos", [&] { Photos(); });
    Step("emprestimos", [&] { Loans(); });
    Step("reservas", [&] { Reservations(); });
    Step("log de erros", [&] { ErrorLog(); });
    if (counts_.statistics) Step("estatisticas", [&] { Statistics(); });
  }

 private:
  template <class Work>
  void Step(const char* name, Work work) {
    const auto start = std::chrono::steady_clock::now();
    connection_.StartTransaction();
    statements_ = 0;
    work();
    connection_.Commit();
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %-20s %8d linhas  %6.1f s\n", name, statements_, s);
    std::fflush(stdout);
  }

  // Commits every 20,000 statements, so the engine's undo log stays small.
  void Exec() {
    query_.ExecSQL();
    if (++statements_ % 20000 == 0) {
      connection_.Commit();
      connection_.StartTransaction();
    }
  }
  TFbParam& P(const char* name) { return query_.ParamByName(name); }
  TDateTime DaysAgo(int days) const { return today_ - days; }

  void Authorities() {
    query_.SetSql({"Insert into T05_AUTOR1 (T05_Autor, T05_Desativado) Values (:p00, :p01)"});
    std::unordered_set<std::string> seen;
    while (static_cast<int>(seen.size()) < counts_.authors) {
      std::string name = std::string(r_.Pick(kSurnames)) + ", " + std::string(r_.Pick(kFirstNames));
      if (r_.Chance(0.5)) name += " " + std::string(r_.Pick(kSurnames));
      if (seen.count(name)) name += " " + std::string(1, static_cast<char>('A' + seen.size() % 26)) + ".";
      if (!seen.insert(name).second) continue;
      P("p00").SetAsString(name);
      P("p01").SetAsBoolean(r_.Chance(0.02));
      Exec();
    }
    query_.SetSql(
        {"Insert into T06_EDITOR (T06_Editora, T06_Localizacao, T06_Desativado) Values (:p00, :p01, "
         "False)"});
    for (int i = 0; i < 300; ++i) {
      P("p00").SetAsString("Editora " + std::string(r_.Pick(kSurnames)) + " " + std::to_string(i + 1));
      P("p01").SetAsString(std::string(r_.Pick(kCities)) + " - " + std::string(r_.Pick(kStates)));
      Exec();
    }
    query_.SetSql({"Insert into T07_CLASSI (T07_Classificacao, T07_Desativado) Values (:p00, False)"});
    for (int i = 0; i < 40; ++i) {
      P("p00").SetAsString(std::string(kSubjects[static_cast<size_t>(i) % std::size(kSubjects)]) +
                           (i < static_cast<int>(std::size(kSubjects)) ? "" : " " + std::to_string(i)));
      Exec();
    }
    query_.SetSql(
        {"Insert into T08_TIPOS1 (T08_TipoItem, T08_QtdDias, T08_Desativado) Values (:p00, :p01, False)"});
    const std::pair<const char*, int> types[] = {{"Livro", 7}, {"Revista", 3}, {"Dicionário", 1},
                                                 {"DVD", 3},   {"Mapa", 2},    {"Gibi", 5}};
    for (const auto& [name, days] : types) {
      P("p00").SetAsString(name);
      P("p01").SetAsInteger(days);
      Exec();
    }
    query_.SetSql({"Insert into T14_IDIOMA (T14_Idioma, T14_Desativado) Values (:p00, False)"});
    for (const char* language :
         {"Português", "Inglês", "Espanhol", "Francês", "Italiano", "Alemão", "Japonês", "Guarani"}) {
      P("p00").SetAsString(language);
      Exec();
    }
  }

  void Users() {
    query_.SetSql(
        {"Insert into T01_USUARI (T01_Usuario, T01_Senha, T01_Desativado) Values (:p00, :p01, :p02)"});
    P("p00").SetAsString("ADMIN");
    P("p01").SetAsString("5ACA58F71556");
    P("p02").SetAsBoolean(false);
    Exec();
    for (int i = 1; i < counts_.users; ++i) {
      std::string login = std::string(r_.Pick(kFirstNames)) + "." + std::to_string(i);
      P("p00").SetAsString(login);
      P("p01").SetAsString("5AEA18D715B6");
      P("p02").SetAsBoolean(i % 17 == 0);
      Exec();
    }
    query_.SetSql({"Insert into T02_ACESSO (T02_Acao, T02_NumUsuario) Values (:p00, :p01)"});
    for (int u = 2; u <= counts_.users; ++u) {
      for (const char* action : {"Acervo", "Leitores", "Emprestimos", "Devolucoes", "Reservas"}) {
        P("p00").SetAsString(action);
        P("p01").SetAsInteger(u);
        Exec();
      }
    }
  }

  void Readers() {
    query_.SetSql({"Insert into T16_TURMAS (T16_Turma, T16_Desativado) Values (:p00, :p01)"});
    const char* grades[] = {"1º Ano", "2º Ano", "3º Ano", "4º Ano",      "5º Ano",      "6º Ano",
                            "7º Ano", "8º Ano", "9º Ano", "1ª Série EM", "2ª Série EM", "3ª Série EM"};
    const char* shifts[] = {"Manhã", "Tarde", "Noite"};
    const char* units[] = {"Unidade Centro", "Unidade Norte", "Unidade Sul", "Unidade Leste",
                           "Unidade Oeste"};
    int classes = 0;
    for (const char* unit : units) {
      for (const char* grade : grades) {
        for (char letter = 'A'; letter <= 'J' && classes < counts_.classes; ++letter) {
          const char* shift = shifts[(classes / 7) % 3];
          P("p00").SetAsString(std::string(grade) + " " + letter + " - " + shift + " - " + unit);
          P("p01").SetAsBoolean(classes % 41 == 40);
          Exec();
          ++classes;
        }
      }
    }
    classCount_ = classes;

    query_.SetSql(
        {"Insert into T04_LEITOR (T04_Leitor, T04_DataNasc, T04_CPF, T04_NumTurma, T04_DataCadastro, "
         "T04_Escolaridade, T04_NomePai, T04_NomeMae, T04_Sexo, T04_Naturalidade, T04_Email, T04_Endereco, "
         "T04_Cidade, T04_Bairro, T04_Obs1, T04_CEP, T04_Estado, T04_Matricula, T04_Turno, T04_Telefone1, "
         "T04_Telefone2, T04_NomeContato, T04_FoneContato, T04_Desativado, T04_Exclusao, T04_ExcluidoPor) "
         "Values (:p00, :p01, :p02, :p03, :p04, :p05, :p06, :p07, :p08, :p09, :p10, :p11, :p12, :p13, :p14, "
         ":p15, :p16, :p17, :p18, :p19, :p20, :p21, :p22, :p23, :p24, :p25)"});
    std::unordered_set<std::string> cpfs;
    for (int i = 0; i < counts_.readers; ++i) {
      const std::string name = PersonName(r_);
      const bool teacher = i % 25 == 0;
      P("p00").SetAsString(name);
      P("p01").SetAsDate(
          EncodeDate(teacher ? r_.Int(1960, 1995) : r_.Int(2006, 2019), r_.Int(1, 12), r_.Int(1, 28)));
      std::string cpf;
      if (teacher || r_.Chance(0.55)) {
        do {
          cpf = Digits(r_, 3) + "." + Digits(r_, 3) + "." + Digits(r_, 3) + "-" + Digits(r_, 2);
        } while (!cpfs.insert(cpf).second);
      }
      P("p02").SetAsString(cpf);
      P("p03").SetAsInteger(r_.Int(1, classCount_));
      P("p04").SetAsDate(DaysAgo(r_.Int(0, 2000)));
      P("p05").SetAsString(teacher ? "Superior completo" : "Fundamental");
      P("p06").SetAsString(std::string(r_.Pick(kFirstNames)) + " " + std::string(r_.Pick(kSurnames)));
      P("p07").SetAsString(std::string(r_.Pick(kFirstNames)) + " " + std::string(r_.Pick(kSurnames)));
      P("p08").SetAsString(r_.Chance(0.5) ? "Feminino" : "Masculino");
      P("p09").SetAsString(r_.Pick(kCities));
      P("p10").SetAsString(r_.Chance(0.4) ? "leitor" + std::to_string(i) + "@escola.example" : "");
      P("p11").SetAsString("Rua " + std::string(r_.Pick(kSurnames)) + ", " + std::to_string(r_.Int(1, 3000)));
      P("p12").SetAsString(r_.Pick(kCities));
      P("p13").SetAsString(r_.Pick(kDistricts));
      P("p14").SetAsString(r_.Chance(0.1) ? "Usa óculos; prefere livros com letras grandes." : "");
      P("p15").SetAsString(Digits(r_, 5) + "-" + Digits(r_, 3));
      P("p16").SetAsString(r_.Pick(kStates));
      P("p17").SetAsString(std::to_string(2018 + i % 7) + "-" + std::to_string(100000 + i));
      P("p18").SetAsString(i % 3 == 0 ? "Manhã" : i % 3 == 1 ? "Tarde" : "Noite");
      P("p19").SetAsString("(" + Digits(r_, 2) + ") 9" + Digits(r_, 4) + "-" + Digits(r_, 4));
      P("p20").SetAsString(r_.Chance(0.3) ? "(" + Digits(r_, 2) + ") " + Digits(r_, 4) + "-" + Digits(r_, 4)
                                          : "");
      P("p21").SetAsString(std::string(r_.Pick(kFirstNames)) + " " + std::string(r_.Pick(kSurnames)));
      P("p22").SetAsString("(" + Digits(r_, 2) + ") 9" + Digits(r_, 4) + "-" + Digits(r_, 4));
      P("p23").SetAsBoolean(r_.Chance(0.03));
      if (r_.Chance(0.01)) {
        P("p24").SetAsDate(DaysAgo(r_.Int(1, 700)));
        P("p25").SetAsInteger(1);
      } else {
        P("p24").SetDataType(TFieldType::ftDate);
        P("p25").SetDataType(TFieldType::ftInteger);
      }
      Exec();
    }
  }

  // Holdings come as titles with one to four copies each; copies share title, authors and contents.
  void Holdings() {
    query_.SetSql(
        {"Insert into T09_ACERVO (T09_Titulo, T09_SubTitulo, T09_NumEditora, T09_NumTipoItem, "
         "T09_NumClassific, "
         "T09_NumIdioma, T09_Tombo, T09_Paginas, T09_Aquisicao, T09_Baixa, T09_NaoEmprestar, T09_Emprestado, "
         "T09_Exemplar, T09_Volume, T09_Edicao, T09_AnoEdicao, T09_ISBN, T09_CDD, T09_CDU, T09_CUTTER, "
         "T09_Palavras1, T09_Palavras2, T09_Palavras3, T09_Palavras4, T09_Palavras5, T09_Local, T09_Obs1, "
         "T09_Exclusao, T09_ExcluidoPor) "
         "Values (:p00, :p01, :p02, :p03, :p04, :p05, :p06, :p07, :p08, :p09, :p10, False, :p11, :p12, :p13, "
         ":p14, :p15, :p16, :p17, :p18, :p19, :p20, :p21, :p22, :p23, :p24, :p25, :p26, :p27)"});
    // Accession numbers: 1..N in a shuffled order, 2% of the holdings without one (0).
    std::vector<int> tombos(static_cast<size_t>(counts_.holdings));
    std::iota(tombos.begin(), tombos.end(), 1);
    std::shuffle(tombos.begin(), tombos.end(), std::mt19937(7));
    int number = 0;
    while (number < counts_.holdings) {
      const std::string title = Title(r_);
      const std::string subtitle = r_.Chance(0.3) ? "uma " + std::string(r_.Pick(kTitleNouns)) + " " +
                                                        std::string(r_.Pick(kTitleAdjectives))
                                                  : "";
      const int copies = std::min(r_.Int(1, 4), counts_.holdings - number);
      const int editora = r_.Int(1, 300), classific = r_.Int(1, 40),
                idioma = r_.Chance(0.9) ? 1 : r_.Int(2, 8);
      const int tipo = r_.Chance(0.8) ? 1 : r_.Int(2, 6);
      const int pages = r_.Int(12, 600);
      const std::string isbn = "978-85-" + Digits(r_, 4) + "-" + Digits(r_, 3) + "-" + Digits(r_, 1);
      const std::string cdd = std::to_string(r_.Int(0, 999)) + "." + Digits(r_, 1);
      const std::string cutter =
          std::string(1, title[0] == ' '
                             ? 'X'
                             : static_cast<char>(std::toupper(static_cast<unsigned char>(title[0])))) +
          Digits(r_, 3) + "s";
      const std::string words[5] = {std::string(r_.Pick(kSubjects)), std::string(r_.Pick(kTitleNouns)),
                                    r_.Chance(0.5) ? std::string(r_.Pick(kTitleNouns)) : "",
                                    r_.Chance(0.3) ? std::string(r_.Pick(kTitleAdjectives)) : "",
                                    r_.Chance(0.1) ? std::string(r_.Pick(kSubjects)) : ""};
      const TDateTime acquired = DaysAgo(r_.Int(30, 7000));
      titleOf_.push_back(number + 1);
      for (int c = 0; c < copies; ++c, ++number) {
        titleFirst_.push_back(static_cast<int>(titleOf_.size()) - 1);
        P("p00").SetAsString(title);
        P("p01").SetAsString(subtitle);
        P("p02").SetAsInteger(editora);
        P("p03").SetAsInteger(tipo);
        P("p04").SetAsInteger(classific);
        P("p05").SetAsInteger(idioma);
        P("p06").SetAsInteger(number % 50 == 49 ? 0 : tombos[static_cast<size_t>(number)]);
        P("p07").SetAsInteger(pages);
        P("p08").SetAsDate(acquired + c * 3);
        const bool withdrawn = r_.Chance(0.01);
        if (withdrawn)
          P("p09").SetAsDate(DaysAgo(r_.Int(1, 25)));
        else
          P("p09").SetDataType(TFieldType::ftDate);
        const bool notLent = tipo == 3 || r_.Chance(0.02);
        P("p10").SetAsBoolean(notLent);
        P("p11").SetAsString("Exemplar " + std::to_string(c + 1));
        P("p12").SetAsString(r_.Chance(0.1) ? "Vol. " + std::to_string(r_.Int(1, 5)) : "");
        P("p13").SetAsString(std::to_string(r_.Int(1, 12)) + "ª edição");
        P("p14").SetAsString(std::to_string(r_.Int(1970, 2024)));
        P("p15").SetAsString(isbn);
        P("p16").SetAsString(cdd);
        P("p17").SetAsString("82-" + Digits(r_, 2));
        P("p18").SetAsString(cutter);
        for (int w = 0; w < 5; ++w)
          P(w == 0 ? "p19" : w == 1 ? "p20" : w == 2 ? "p21" : w == 3 ? "p22" : "p23").SetAsString(words[w]);
        P("p24").SetAsString("Estante " + std::to_string(r_.Int(1, 60)) + " - Prateleira " +
                             std::to_string(r_.Int(1, 6)));
        P("p25").SetAsString(r_.Chance(0.05) ? "Doação da Associação de Pais e Mestres." : "");
        const bool deleted = r_.Chance(0.01);
        if (deleted) {
          P("p26").SetAsDate(DaysAgo(r_.Int(1, 365)));
          P("p27").SetAsInteger(1);
        } else {
          P("p26").SetDataType(TFieldType::ftDate);
          P("p27").SetDataType(TFieldType::ftInteger);
        }
        lendable_.push_back(!deleted && !withdrawn && !notLent);
        Exec();
      }
    }
  }

  void LinksAndContents() {
    query_.SetSql({"Insert into T10_LINKAU (T10_NumAutor, T10_NumAcervo) Values (:p00, :p01)"});
    const size_t titles = titleOf_.size();
    std::vector<std::vector<int>> authors(titles);
    for (auto& list : authors) {
      const int n = r_.Chance(0.75) ? 1 : r_.Int(2, 3);
      for (int k = 0; k < n; ++k) list.push_back(r_.Int(1, counts_.authors));
      std::sort(list.begin(), list.end());
      list.erase(std::unique(list.begin(), list.end()), list.end());
    }
    for (int h = 0; h < counts_.holdings; ++h) {
      for (const int author : authors[static_cast<size_t>(titleFirst_[static_cast<size_t>(h)])]) {
        P("p00").SetAsInteger(author);
        P("p01").SetAsInteger(h + 1);
        Exec();
      }
    }
    query_.SetSql(
        {"Insert into T11_INDICE (T11_Indice, T11_Pagina, T11_NumAcervo) Values (:p00, :p01, :p02)"});
    for (size_t t = 0; t < titles; ++t) {
      if (!r_.Chance(0.15)) continue;
      const int entries = r_.Int(5, 15);
      const int first = titleOf_[t];
      const int last = t + 1 < titles ? titleOf_[t + 1] - 1 : counts_.holdings;
      for (int h = first; h <= last; ++h) {
        int page = 1;
        for (int e = 0; e < entries; ++e) {
          P("p00").SetAsString(
              std::string(kIndexWords[static_cast<size_t>(e) % std::size(kIndexWords)]) + " " +
              std::to_string(e + 1) + ": " +
              std::string(kTitleNouns[(t + static_cast<size_t>(e)) % std::size(kTitleNouns)]));
          P("p01").SetAsInteger(page);
          P("p02").SetAsInteger(h);
          page += 3 + static_cast<int>((t + static_cast<size_t>(e)) % 20);
          Exec();
        }
      }
    }
  }

  // Two thirds of the photos are covers of holdings, one third are readers' pictures.
  void Photos() {
    const int covers = counts_.photos * 2 / 3;
    query_.SetSql({"Insert into T20_FOTOS1 (T20_NumAcervo, T20_Foto) Values (:p00, :p01)"});
    const int holdingStep = std::max(1, counts_.holdings / std::max(1, covers));
    for (int i = 0; i < covers; ++i) {
      P("p00").SetAsInteger(1 + i * holdingStep);
      P("p01").SetAsBlob(Photo(r_, static_cast<size_t>(r_.Int(50, 300)) * 1024));
      Exec();
    }
    query_.SetSql({"Insert into T21_FOTOS2 (T21_NumLeitor, T21_Foto) Values (:p00, :p01)"});
    const int readerStep = std::max(1, counts_.readers / std::max(1, counts_.photos - covers));
    for (int i = 0; i < counts_.photos - covers; ++i) {
      P("p00").SetAsInteger(1 + i * readerStep);
      P("p01").SetAsBlob(Photo(r_, static_cast<size_t>(r_.Int(50, 150)) * 1024));
      Exec();
    }
  }

  // Loans over the last three years, one to four items each. The last 2% of the items are still
  // out (their holdings marked lent), a quarter of those past their due date; of the returned ones
  // about a tenth were late: fined and unpaid, paid or cancelled; 3% of all are deleted.
  void Loans() {
    const int items = counts_.loans;
    const int outFrom = items - items / 50;
    int made = 0;
    int loanNumber = 0;
    std::vector<char> out(static_cast<size_t>(counts_.holdings) + 1, 0);
    while (made < items) {
      const int n = std::min(r_.Int(1, 4), items - made);
      const bool open = made >= outFrom;
      // Closed loans spread over three years, in order; open ones within the last three weeks.
      const int daysAgo = open ? r_.Int(0, 20) : 1100 - static_cast<int>(1080.0 * made / outFrom);
      const TDateTime day = DaysAgo(daysAgo);
      query_.SetSql({"Insert into T12_EMPRE1 (T12_NumLeitor, T12_Data) Values (:p00, :p01) "});
      P("p00").SetAsInteger(r_.Int(1, counts_.readers));
      P("p01").SetAsDate(day);
      Exec();
      ++loanNumber;
      query_.SetSql(
          {"Insert into T13_EMPRE2 (T13_NumEmprest, T13_NumAcervo, T13_Previsao, T13_Devolucao, T13_Multa, "
           "T13_PgtoMulta, T13_MultaCancelada, T13_Exclusao, T13_ExcluidoPor) "
           "Values (:p00, :p01, :p02, :p03, :p04, :p05, :p06, :p07, :p08)"});
      for (int k = 0; k < n; ++k, ++made) {
        int holding;
        do {
          holding = r_.Int(1, counts_.holdings);
        } while (!lendable_[static_cast<size_t>(holding - 1)] || (open && out[static_cast<size_t>(holding)]));
        const int loanDays = 7;
        const TDateTime due = day + loanDays;
        P("p00").SetAsInteger(loanNumber);
        P("p01").SetAsInteger(holding);
        P("p02").SetAsDate(due);
        P("p03").SetDataType(TFieldType::ftDate);
        P("p04").SetAsFloat(0);
        P("p05").SetDataType(TFieldType::ftDate);
        P("p06").SetDataType(TFieldType::ftDate);
        P("p07").SetDataType(TFieldType::ftDate);
        P("p08").SetDataType(TFieldType::ftInteger);
        if (open) {
          out[static_cast<size_t>(holding)] = 1;
        } else {
          const bool late = r_.Chance(0.12);
          const int lateDays = late ? r_.Int(1, 30) : 0;
          const TDateTime returned = due - (late ? -lateDays : r_.Int(0, 6));
          P("p03").SetAsDate(returned);
          if (late) {
            P("p04").SetAsFloat(0.5 * lateDays);
            const int fate = r_.Int(0, 9);
            if (fate < 5)
              P("p05").SetAsDate(returned + r_.Int(0, 10));  // paid
            else if (fate < 7)
              P("p06").SetAsDate(returned + r_.Int(0, 5));  // cancelled
          }
        }
        if (r_.Chance(0.03) && !open) {
          P("p07").SetAsDate(day + 1);
          P("p08").SetAsInteger(1);
        }
        Exec();
      }
    }
    query_.SetSql(
        {"Update T09_ACERVO Set T09_Emprestado = True Where T09_NumAcervo in (Select T13_NumAcervo From "
         "T13_EMPRE2 Where T13_Devolucao is Null and T13_Exclusao is Null) "});
    Exec();
  }

  void Reservations() {
    query_.SetSql(
        {"Insert into T15_RESERV (T15_NumLeitor, T15_NumAcervo, T15_Validade1, T15_Validade2, T15_Data, "
         "T15_Utilizou, T15_Exclusao, T15_ExcluidoPor) Values (:p00, :p01, :p02, :p03, :p04, :p05, :p06, "
         ":p07)"});
    for (int i = 0; i < counts_.reservations; ++i) {
      const int made = r_.Int(0, 400);
      P("p00").SetAsInteger(r_.Int(1, counts_.readers));
      P("p01").SetAsInteger(r_.Int(1, counts_.holdings));
      P("p02").SetAsDate(DaysAgo(made - r_.Int(0, 5)));
      P("p03").SetAsDate(DaysAgo(made - r_.Int(6, 20)));
      P("p04").SetAsDate(DaysAgo(made));
      P("p05").SetAsBoolean(made > 30 && r_.Chance(0.6));
      if (r_.Chance(0.05)) {
        P("p06").SetAsDate(DaysAgo(std::max(0, made - 2)));
        P("p07").SetAsInteger(1);
      } else {
        P("p06").SetDataType(TFieldType::ftDate);
        P("p07").SetDataType(TFieldType::ftInteger);
      }
      Exec();
    }
  }

  void ErrorLog() {
    query_.SetSql(
        {"Insert into T99_ErrLog (T99_Data, T99_Hora, T99_Usuario, T99_Rotina, T99_Descricao) "
         "Values (:p00, :p01, :p02, :p03, :p04)"});
    for (int i = 0; i < 500; ++i) {
      P("p00").SetAsDate(DaysAgo(r_.Int(0, 365)));
      P("p01").SetAsTime(r_.Int(7 * 3600, 22 * 3600) / 86400.0);
      P("p02").SetAsString(std::string(r_.Pick(kFirstNames)) + "." +
                           std::to_string(r_.Int(1, counts_.users)));
      P("p03").SetAsString(i % 2 ? "Empréstimos" : "Acervo");
      P("p04").SetAsString("Falha de teste número " + std::to_string(i) +
                           ": conexão interrompida durante a gravação");
      Exec();
    }
  }

  // The selectivity of every index from the rows now, as after a restore or the upgrade script
  // (an index made with its table empty still describes the empty table).
  void Statistics() {
    query_.SetSql({"Select Trim(RDB$INDEX_NAME) From RDB$INDICES Where RDB$RELATION_NAME starting with 'T' ",
                   "and RDB$RELATION_NAME not starting with 'TMP$' "});
    query_.Open();
    std::vector<std::string> names;
    for (; !query_.Eof(); query_.Next()) names.push_back(query_.AsString(0));
    for (const std::string& name : names) {
      query_.SetSql({"SET STATISTICS INDEX \"" + name + "\""});
      Exec();
    }
  }

  TFbConnection connection_;
  TFbQuery query_;
  TCounts counts_;
  TRandom r_;
  TDateTime today_ = 0;
  int statements_ = 0;
  int classCount_ = 1;
  std::vector<int> titleOf_;     // the first holding of each title (1-based)
  std::vector<int> titleFirst_;  // the title of each holding (index into titleOf_)
  std::vector<bool> lendable_;   // each holding may be lent
};

}  // namespace
}  // namespace livrexa::bench

int main(int argc, char** argv) {
  using namespace livrexa::bench;
  if (argc < 2) {
    std::fprintf(stderr,
                 "usage: make_library DATABASE [--holdings N] [--readers N] [--loans N] [--photos N] "
                 "[--users N]\n");
    return 2;
  }
  TCounts counts;
  for (int i = 2; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--no-statistics") {
      counts.statistics = false;
      --i;
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "make_library: %s needs a value\n", option.c_str());
      return 2;
    }
    const int value = std::atoi(argv[i + 1]);
    if (option == "--holdings")
      counts.holdings = value;
    else if (option == "--readers")
      counts.readers = value;
    else if (option == "--loans")
      counts.loans = value;
    else if (option == "--photos")
      counts.photos = value;
    else if (option == "--users")
      counts.users = value;
    else {
      std::fprintf(stderr, "make_library: unknown option %s\n", option.c_str());
      return 2;
    }
  }
  UseLargeFirebirdFolder();
  const auto start = std::chrono::steady_clock::now();
  try {
    TGenerator(argv[1], counts).Run();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_library: %s\n", e.what());
    return 1;
  }
  std::printf("biblioteca pronta em %.0f s\n",
              std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  return 0;
}
