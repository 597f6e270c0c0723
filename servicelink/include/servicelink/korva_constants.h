// Fixed names and numbers shared by the service and its clients.
#pragma once

namespace NKorvaConstants {

// Where the service lives on the session bus.
inline constexpr const char* SERVICE_BUS_NAME = "org.kelm.Korva";
inline constexpr const char* SERVICE_OBJECT_PATH = "/org/kelm/Korva";
inline constexpr const char* SERVICE_INTERFACE = "org.kelm.Korva1";

// Configuration sections and sources.
inline constexpr const char* CONFIG_SECTION_TAVREL = "korva.applications.tavrel";
inline constexpr const char* CONFIG_SECTION_TAVRELSYSTEM = "korva.applications.tavrel.system.options";
inline constexpr const char* CONFIG_SECTION_TAVRELEXTERNAL = "korva.applications.tavrel.external";
inline constexpr const char* CONFIG_SECTION_TAVRELOPTIONS = "korva.applications.tavrel.options";
inline constexpr const char* CONFIG_SOURCE_SYSTEM = "system";
inline constexpr const char* CONFIG_SOURCE_USER = "user";
inline constexpr const char* CONFIG_SOURCE_USERSYSTEM = "user,system";

// Joins a container's path and the path of an item inside it.
inline constexpr const char* CONTAINER_FILE_SEPERATOR = "|>";

// How long Execute waits for an answer when the caller gives no time-out.
inline constexpr unsigned DEFAULT_REQUEST_TIMEOUT_MS = 30000;

// Error codes of answers (0 is success). The 1xxx codes come from the
// service; the 2xxx codes are made by the client side when no usable answer
// arrived.
inline constexpr int KORVA_OK = 0;
inline constexpr int KORVA_E_FAIL = 1000;
inline constexpr int KORVA_E_UNKNOWN_REQUEST = 1001;
inline constexpr int KORVA_E_INVALID_ARGUMENTS = 1002;
inline constexpr int KORVA_E_REQUEST_TOO_LARGE = 1003;
inline constexpr int KORVA_E_NOT_FOUND = 1004;
inline constexpr int KORVA_E_STORE_FAILED = 1005;
inline constexpr int KORVA_E_NOT_ALLOWED = 1006;
inline constexpr int KORVA_E_START_FAILED = 1007;
inline constexpr int KORVA_E_NOT_CONNECTED = 2001;
inline constexpr int KORVA_E_NO_SERVICE = 2002;
inline constexpr int KORVA_E_TIMEOUT = 2003;
inline constexpr int KORVA_E_SERVICE_GONE = 2004;
inline constexpr int KORVA_E_BAD_ANSWER = 2005;
inline constexpr int KORVA_E_BUS_ERROR = 2006;

}  // namespace NKorvaConstants
