#include "host/last_page_watch.h"

namespace lumorel {

bool LastPageWatch::shouldEnd(bool alive, TimePoint now) {
  if (alive) {
    seenAlive_ = true;
    goneSince_.reset();
    return false;
  }
  if (!seenAlive_) return false;
  if (!goneSince_) goneSince_ = now;
  return now - *goneSince_ >= grace_;
}

}  // namespace lumorel
