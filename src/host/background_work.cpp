#include "host/background_work.h"

namespace livrexa::host {

TBackgroundWork::~TBackgroundWork() {
  WaitAll();
}

void TBackgroundWork::Run(std::function<void()> work) {
  std::list<TPiece> finished;
  {
    std::lock_guard guard(lock_);
    // Pieces that ended earlier are joined here, so threads do not pile up over the months.
    for (auto it = pieces_.begin(); it != pieces_.end();) {
      auto next = std::next(it);
      if (*it->finished) finished.splice(finished.end(), pieces_, it);
      it = next;
    }
    TPiece& piece = pieces_.emplace_back();
    piece.thread = std::thread([this, work = std::move(work), flag = piece.finished] {
      work();
      std::lock_guard done(lock_);
      *flag = true;
    });
  }
  for (TPiece& old : finished) old.thread.join();
}

void TBackgroundWork::WaitAll() {
  std::list<TPiece> pieces;
  {
    std::lock_guard guard(lock_);
    pieces.swap(pieces_);
  }
  for (TPiece& piece : pieces)
    if (piece.thread.joinable()) piece.thread.join();
}

}  // namespace livrexa::host
