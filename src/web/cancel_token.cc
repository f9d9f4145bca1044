#include "web/cancel_token.h"

namespace zv::web {

CancelToken& ProcessShutdownToken() {
  static CancelToken token;
  return token;
}

}  // namespace zv::web
