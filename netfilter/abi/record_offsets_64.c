/* The host records on x86-64: the 32-bit order with pointer-sized pointers
 * and handles and natural alignment. Hosts and plug-ins of this build agree on
 * these offsets; the check keeps an edit of the header from moving them. */
#include <kelm/netfilter_plugin.h>

#if defined(__x86_64__)

#define AT(type, field, offset) \
    _Static_assert(offsetof(type, field) == (offset), #type "." #field " moved")
#define SIZE(type, size) _Static_assert(sizeof(type) == (size), #type " resized")

SIZE(FilterPluginInfo, 532);

AT(FilterHostContext, siteFilterSetting, 8);
AT(FilterHostContext, exploitFilterSetting, 12);
AT(FilterHostContext, detectionPath, 16);
AT(FilterHostContext, siteDatabasePath, 276);
AT(FilterHostContext, GetSocketContext, 536);
AT(FilterHostContext, ReleaseSocket, 552);
AT(FilterHostContext, GetDatabaseTime, 560);
AT(FilterHostContext, SettingsChanged, 568);

AT(FilterHostCallbacks, CheckConnect, 24);
AT(FilterHostCallbacks, ReportDetection, 56);

SIZE(FilterSettingsRecord, 12);

AT(SocketContext, releaseHandle, 8);
AT(SocketContext, connectionReference, 16);
AT(SocketContext, localAddress, 20);
AT(SocketContext, remoteAddress, 36);
AT(SocketContext, detectionValue, 52);
AT(SocketContext, stateFlags, 60);
AT(SocketContext, closeWord, 64);
AT(SocketContext, receiveCalls, 68);
AT(SocketContext, sendCalls, 72);
AT(SocketContext, bytesReceived, 80);
AT(SocketContext, bytesSent, 88);
AT(SocketContext, hostName, 96);
AT(SocketContext, firstSent, 2144);
AT(SocketContext, firstSentLength, 3168);
AT(SocketContext, firstReceived, 3172);
AT(SocketContext, firstReceivedLength, 4196);
AT(SocketContext, blocked, 4200);

SIZE(FilterBlockRecord, 40);
AT(FilterBlockRecord, categoryName, 16);
AT(FilterBlockRecord, connectionReference, 32);

SIZE(FilterDetectionRecord, 48);
AT(FilterDetectionRecord, connectionReference, 16);
AT(FilterDetectionRecord, detectionValue, 40);

#endif

/* An object file needs at least one definition under -Wpedantic builds. */
int kelm_netfilter_record_offsets_checked = 1;
