#include "browserguard/url_rules.h"

#include <algorithm>
#include <cctype>

namespace browserguard {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

UrlKind GetUrlKind(std::string_view lowerUrl) {
  if (StartsWith(lowerUrl, "about:")) return UrlKind::About;
  if (StartsWith(lowerUrl, "http")) return UrlKind::Web;
  if (StartsWith(lowerUrl, "javascript:")) return UrlKind::Script;
  if (lowerUrl.find("file:") != std::string_view::npos) return UrlKind::File;
  return UrlKind::Other;
}

std::string NormalizeUrl(std::string_view url) {
  if (StartsWith(url, "about:blank")) return {};
  if (StartsWith(url, "http://")) return std::string(url.substr(7));
  if (StartsWith(url, "https://")) return std::string(url.substr(8));
  return std::string(url);
}

std::string HostPart(std::string_view url) {
  size_t start = 0;
  const size_t slashes = url.find("//");
  if (slashes != std::string_view::npos && slashes > 0) start = slashes + 2;
  const size_t end = url.find('/', start);
  if (end == std::string_view::npos) return std::string(url);
  return std::string(url.substr(start, end - start));
}

std::string CutAtFirstSlash(std::string_view url) {
  const size_t slash = url.find('/', 1);
  if (slash == std::string_view::npos || url.empty()) return std::string(url);
  return std::string(url.substr(0, slash));
}

std::string BlanketDomain(std::string_view url) {
  const size_t slash = url.find('/');
  if (slash == std::string_view::npos || slash == 0) return {};
  return std::string(url.substr(0, slash));
}

std::string PopupFallbackUrl(std::string_view openerLocation) {
  const std::string host = openerLocation.empty() ? std::string("adware.popup")
                                                  : HostPart(openerLocation);
  return host + "/[no path]";
}

std::string DialogReportUrl(std::string_view address) {
  if (address.empty()) return {};
  return CutAtFirstSlash(Lower(address)) + " [no path]";
}

std::string MenuUrl(std::string_view location) {
  std::string_view rest = location;
  const size_t colon = location.find(":/");
  if (colon != std::string_view::npos && colon > 0) rest = location.substr(colon + 1);
  while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
  return std::string(rest);
}

std::string PageKey(std::string_view url) { return NormalizeUrl(Lower(url)); }

}  // namespace browserguard
