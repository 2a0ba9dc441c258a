#pragma once
// A file manager's drag (text/uri-list, RFC 2483) as the paths a drop hands
// to the program.

#include <string>
#include <string_view>
#include <vector>

namespace screen {

// The local paths of `uriList`, in order: lines end with CR LF (a bare LF
// is taken too); blank lines and lines starting with "#" are skipped; only
// file URIs of this machine count (file:///p, file://localhost/p, file:/p),
// other schemes and hosts are left out; %XX escapes are decoded; a URI
// with a query or fragment, a bad escape or an escaped NUL is left out.
std::vector<std::string> PathsFromUriList(std::string_view uriList);

}  // namespace screen
