// Host, port and path of a URL, as the Internet-API fetch connects with them.
// Pure text work; any thread may call these.
#pragma once

#include "text/text.h"

namespace zv::web {

using text::Text;

// The host in lower case, with ":port" when keepPort is true and the URL names one.
Text UrlHost(const Text& url, bool keepPort);
// The port the URL names, else 443 for https and 80 otherwise.
int UrlPort(const Text& url);
// Path and query from the first "/" after the host; "/" when there is none.
Text UrlPath(const Text& url);

}  // namespace zv::web
