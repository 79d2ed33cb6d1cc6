#include "engine/TagVerdict.h"

const char* TagActionName(TTagVerdict::Action action) {
  switch (action) {
    case TTagVerdict::Action::Slice:
      return "slice";
    case TTagVerdict::Action::Reuse:
      return "reuse";
    case TTagVerdict::Action::Leave:
      break;
  }
  return "leave";
}
