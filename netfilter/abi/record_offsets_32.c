/* The host records as a 32-bit x86 host sees them. Hosts built for 32-bit
 * x86 exchange these records with plug-ins built from the same header, so the
 * offsets below are fixed; compiled with -m32 by the build. */
#include <kelm/netfilter_plugin.h>

#if !defined(__i386__)
#error "compile this file with -m32"
#endif

#define AT(type, field, offset) \
    _Static_assert(offsetof(type, field) == (offset), #type "." #field " moved")
#define SIZE(type, size) _Static_assert(sizeof(type) == (size), #type " resized")

AT(FilterPluginInfo, name, 4);
AT(FilterPluginInfo, vendor, 264);
AT(FilterPluginInfo, version, 524);
AT(FilterPluginInfo, build, 528);

AT(FilterHostContext, callbacks, 0);
AT(FilterHostContext, siteFilterSetting, 4);
AT(FilterHostContext, exploitFilterSetting, 8);
AT(FilterHostContext, detectionPath, 12);
AT(FilterHostContext, siteDatabasePath, 272);
AT(FilterHostContext, GetSocketContext, 532);
AT(FilterHostContext, reserved536, 536);
AT(FilterHostContext, ReleaseSocket, 540);
AT(FilterHostContext, GetDatabaseTime, 544);
AT(FilterHostContext, SettingsChanged, 548);

AT(FilterHostCallbacks, CheckConnect, 12);
AT(FilterHostCallbacks, CheckData, 16);
AT(FilterHostCallbacks, NotifyClose, 20);
AT(FilterHostCallbacks, ReportBlock, 24);
AT(FilterHostCallbacks, ReportDetection, 28);

SIZE(FilterSettingsRecord, 12);
AT(FilterSettingsRecord, exploitFilterSetting, 4);
AT(FilterSettingsRecord, siteFilterSetting, 8);

AT(SocketContext, hostData, 0);
AT(SocketContext, releaseHandle, 4);
AT(SocketContext, connectionReference, 8);
AT(SocketContext, localAddress, 12);
AT(SocketContext, remoteAddress, 28);
AT(SocketContext, detectionValue, 44);
AT(SocketContext, stateFlags, 52);
AT(SocketContext, closeWord, 56);
AT(SocketContext, receiveCalls, 60);
AT(SocketContext, sendCalls, 64);
AT(SocketContext, bytesReceived, 72);
AT(SocketContext, bytesSent, 80);
AT(SocketContext, hostName, 88);
AT(SocketContext, firstSent, 2136);
AT(SocketContext, firstSentLength, 3160);
AT(SocketContext, firstReceived, 3164);
AT(SocketContext, firstReceivedLength, 4188);
AT(SocketContext, blocked, 4192);

SIZE(FilterBlockRecord, 24);
AT(FilterBlockRecord, kind, 4);
AT(FilterBlockRecord, actionLevel, 8);
AT(FilterBlockRecord, categoryName, 12);
AT(FilterBlockRecord, reserved, 16);
AT(FilterBlockRecord, connectionReference, 20);

SIZE(FilterDetectionRecord, 40);
AT(FilterDetectionRecord, detectionId, 4);
AT(FilterDetectionRecord, actionLevel, 8);
AT(FilterDetectionRecord, connectionReference, 12);
AT(FilterDetectionRecord, unused, 16);
AT(FilterDetectionRecord, detectionValue, 32);
AT(FilterDetectionRecord, reserved, 36);

AT(FilterBuffer, buf, 4);
