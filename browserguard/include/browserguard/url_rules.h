// Address helpers of the popup decisions: what kind of address a navigation
// goes to, the form addresses are compared and reported in, and the host or
// domain part the per-site blankets are keyed by. Pure text functions, so
// the decisions built on them can be tested without a browser.
#pragma once

#include <string>
#include <string_view>

namespace browserguard {

// Kinds of navigation address; callers pass the address lower-cased.
enum class UrlKind : int {
  Other = 0,
  About = 1,       // begins with "about:"
  Web = 2,         // begins with "http" (so "https" too)
  Script = 3,      // begins with "javascript:"
  File = 4,        // contains "file:" anywhere, e.g. view-source:file:///x
};

UrlKind GetUrlKind(std::string_view lowerUrl);

// "about:blank..." becomes empty; a leading "http://", or else "https://",
// is removed. The prefix test is case-sensitive on purpose: callers
// lower-case first where they compare.
std::string NormalizeUrl(std::string_view url);

// The text after the first "//" (when that is not at index 0) up to the next
// "/". With no "/" after the start the whole address is returned unchanged.
std::string HostPart(std::string_view url);

// The address up to its first "/" when that "/" is past index 0, else the
// whole address. Used for menu texts and dialog reports.
std::string CutAtFirstSlash(std::string_view url);

// The domain a blanket applies to: the address up to its first "/" when that
// is past index 0, else empty.
std::string BlanketDomain(std::string_view url);

// The address a popup is authorised under when its first navigation has no
// address: the opener's host, or "adware.popup" when no opener is known,
// followed by "/[no path]".
std::string PopupFallbackUrl(std::string_view openerLocation);

// The text reported for a dropped dialog window: the lower-cased address cut
// at its first "/" past index 0, followed by " [no path]". Empty address
// gives empty text (nothing is reported then).
std::string DialogReportUrl(std::string_view address);

// The address of the active tab as the system menu uses it: when ":/" occurs
// past index 0 the scheme is dropped, then leading "/" characters go.
std::string MenuUrl(std::string_view location);

// A page address in the form the service keys popups by: lower-cased, then
// normalised.
std::string PageKey(std::string_view url);

}  // namespace browserguard
