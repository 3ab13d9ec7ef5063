// Dataset text throughput: writing (LoadFromDataset + ToJSON, as the "Consulta" handler does) and
// reading (WriteToDataset, as "Grava" does) a result of 10,000 rows x 30 mixed columns and one
// row carrying a 5 MB photo, next to plain EncodeBinary of the same text, the floor of a format
// whose every value is base64 (and OpenSSL's encoder of the same text, for comparison).

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include <random>
#include <string>

#include "rest/dataset/mem_table.h"
#include "rest/http/allocator_tuning.h"
#include "rest/params/json_value.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

using enum TFieldType;

TFDMemTable& RowsTable() {
  static TFDMemTable table = [] {
    TFDMemTable t;
    // 30 columns: 10 texts, 6 integers, 4 floats, 3 decimals, 3 dates, 2 booleans, a memo, a blob.
    for (int i = 0; i < 10; ++i) t.AddFieldDef("TEXTO" + std::to_string(i), ftString, 60);
    t.AddFieldDef("ID", ftInteger);
    t.SetKeyField(10);
    for (int i = 1; i < 6; ++i) t.AddFieldDef("INT" + std::to_string(i), i % 2 ? ftInteger : ftSmallint);
    for (int i = 0; i < 4; ++i) t.AddFieldDef("FLOAT" + std::to_string(i), ftFloat);
    for (int i = 0; i < 3; ++i) t.AddFieldDef("DEC" + std::to_string(i), ftFMTBcd, 15, 2);
    t.AddFieldDef("DIA", ftDate);
    t.AddFieldDef("HORA", ftTime);
    t.AddFieldDef("QUANDO", ftDateTime);
    t.AddFieldDef("ATIVO", ftBoolean);
    t.AddFieldDef("EXCLUIDO", ftBoolean);
    t.AddFieldDef("OBS", ftMemo);
    t.AddFieldDef("MINIATURA", ftBlob);
    t.CreateDataSet();
    std::mt19937 rng(42);
    const std::string words[] = {"Leitura",  "Ação",         "José",   "Biblioteca",
                                 "Turma 3B", "Dom Casmurro", "Machado"};
    for (int64_t row = 0; row < 10000; ++row) {
      std::vector<TFieldValue> values;
      for (int i = 0; i < 10; ++i) {
        values.emplace_back(words[rng() % 7] + " " + words[rng() % 7] + " " + std::to_string(rng() % 1000));
      }
      values.emplace_back(row + 1);
      for (int i = 1; i < 6; ++i) values.emplace_back(static_cast<int64_t>(rng() % 30000));
      for (int i = 0; i < 4; ++i) values.emplace_back(static_cast<double>(rng() % 1000000) / 7.0);
      for (int i = 0; i < 3; ++i) values.emplace_back(static_cast<double>(rng() % 1000000) / 100.0);
      values.emplace_back(EncodeDate(2024, 1, 1) + static_cast<double>(row % 365));
      values.emplace_back(static_cast<double>(rng() % 86400) / 86400.0);
      if (row % 5)
        values.emplace_back(EncodeDate(2024, 1, 1) + static_cast<double>(rng() % 1000) / 3.0);
      else
        values.emplace_back();
      values.emplace_back(rng() % 2 == 0);
      values.emplace_back(row % 3 == 0);
      if (row % 4)
        values.emplace_back(std::string(100 + rng() % 200, 'x'));
      else
        values.emplace_back();
      std::string thumb(64, '\0');
      for (auto& c : thumb) c = static_cast<char>(rng());
      values.emplace_back(thumb);
      t.AppendRecord(values);
    }
    return t;
  }();
  return table;
}

TFDMemTable& PhotoTable() {
  static TFDMemTable table = [] {
    TFDMemTable t;
    t.AddFieldDef("T20_Codigo", ftInteger);
    t.AddFieldDef("T20_Foto", ftBlob);
    t.CreateDataSet();
    std::mt19937 rng(7);
    std::string photo(5 * 1024 * 1024, '\0');
    for (auto& c : photo) c = static_cast<char>(rng());
    t.AppendRecord({int64_t{1}, photo});
    return t;
  }();
  return table;
}

std::string WriteText(TFDMemTable& table) {
  TJSONValue v;
  v.SetEncoding(TEncodeSelect::esASCII);
  v.LoadFromDataset("temp", table, true, TJsonMode::jmDataware, "", "", false, false);
  return v.ToJSON();
}

void Write(benchmark::State& state, TFDMemTable& table) {
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = WriteText(table);
    bytes = text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["text_MB"] = static_cast<double>(bytes) / 1e6;
}

// The serialisation alone (LoadFromDataset), without the value object's ToJSON framing.
void Serialise(benchmark::State& state, TFDMemTable& table) {
  size_t bytes = 0;
  for (auto _ : state) {
    TJSONValue v;
    v.SetEncoding(TEncodeSelect::esASCII);
    v.LoadFromDataset("temp", table, true, TJsonMode::jmDataware, "", "", false, false);
    bytes = v.StoredText().size();
    benchmark::DoNotOptimize(v.StoredText().data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void Read(benchmark::State& state, TFDMemTable& table) {
  const std::string text = WriteText(table);
  for (auto _ : state) {
    TFDMemTable dest;
    TJSONValue v;
    v.WriteToDataset(TDatasetType::dtFull, text, dest, true);
    benchmark::DoNotOptimize(dest.RecordCount());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void EncodeFloor(benchmark::State& state, TFDMemTable& table) {
  const std::string text = WriteText(table);
  for (auto _ : state) {
    std::string encoded = EncodeBinary(text);
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

// The same with OpenSSL's encoder, the server's base64 before its own pair-table encoder.
void OpenSslFloor(benchmark::State& state, TFDMemTable& table) {
  const std::string text = WriteText(table);
  std::string encoded(4 * ((text.size() + 2) / 3) + 1, '\0');
  for (auto _ : state) {
    EVP_EncodeBlock(reinterpret_cast<unsigned char*>(encoded.data()),
                    reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
    benchmark::DoNotOptimize(encoded.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_Rows_Write(benchmark::State& s) {
  Write(s, RowsTable());
}
void BM_Rows_LoadFromDatasetOnly(benchmark::State& s) {
  Serialise(s, RowsTable());
}
void BM_Rows_Read(benchmark::State& s) {
  Read(s, RowsTable());
}
void BM_Rows_EncodeBinaryFloor(benchmark::State& s) {
  EncodeFloor(s, RowsTable());
}
void BM_Rows_OpenSslFloor(benchmark::State& s) {
  OpenSslFloor(s, RowsTable());
}
void BM_Photo_Write(benchmark::State& s) {
  Write(s, PhotoTable());
}
void BM_Photo_LoadFromDatasetOnly(benchmark::State& s) {
  Serialise(s, PhotoTable());
}
void BM_Photo_Read(benchmark::State& s) {
  Read(s, PhotoTable());
}
void BM_Photo_EncodeBinaryFloor(benchmark::State& s) {
  EncodeFloor(s, PhotoTable());
}
void BM_Photo_OpenSslFloor(benchmark::State& s) {
  OpenSslFloor(s, PhotoTable());
}

BENCHMARK(BM_Rows_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rows_LoadFromDatasetOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rows_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rows_EncodeBinaryFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Rows_OpenSslFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo_Write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo_LoadFromDatasetOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo_Read)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo_EncodeBinaryFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Photo_OpenSslFloor)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace livrexa

// The server's own allocator setting, so the figures are those of a serving process.
int main(int argc, char** argv) {
  livrexa::TuneAllocatorForLargeTexts();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
