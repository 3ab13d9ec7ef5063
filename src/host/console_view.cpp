#include "host/console_view.h"

namespace livrexa::host {

std::string SingleLine(const std::string& text) {
  std::string line = text;
  for (char& c : line)
    if (c == '\r' || c == '\n') c = ' ';
  return line;
}

void TConsoleView::Line(std::FILE* stream, const std::string& text) {
  std::fputs(SingleLine(text).c_str(), stream);
  std::fputc('\n', stream);
  std::fflush(stream);
}

void TConsoleView::ShowStatusPanels(const std::string& panel1, const std::string& panel2) {
  Line(out_, panel1);
  Line(out_, panel2);
}

void TConsoleView::ShowTitle(const std::string& title) {
  Line(out_, title);
}

void TConsoleView::ShowMessage(const std::string& text) {
  Line(err_, text);
}

void TConsoleView::OpenSettings() {
  settingsAsked_ = true;
  Line(err_, "Sem janela não há tela de configuração: corrija " + configPath_ +
                 " (seção [INDICE]: LocalLivrexaDB com o caminho do banco de dados, Porta, HoraBackup,"
                 " PastaBackup1 e PastaBackup2) e inicie o servidor de novo.");
}

void TConsoleView::AppendLogEntry(const std::string& entry) {
  Line(out_, entry);
}

}  // namespace livrexa::host
