/*
 * The network filter plug-in interface, for host writers.
 *
 * A host (a layered socket provider, on Linux the LD_PRELOAD shim) loads a
 * plug-in shared library, looks up the exports declared at the end of this
 * file by name, and calls them around every bind, connect, send, receive and
 * close of the sockets it manages. The plug-ins `kelmhazardfilter` (exploit
 * signatures in received HTTP responses) and `kelmhostfilter` (black-listed
 * sites) both export this interface; the site filter also exports LSPP_Bind
 * and LSPP_Connect.
 *
 * Call order: GetPluginInfo, InitPlugin, optionally SetTrace, InitPlugin2;
 * then any number of LSPP_ calls from any thread (one socket's calls from one
 * thread at a time); TermPlugin last.
 *
 * Records. The field order is fixed. Pointers and handles are pointer-sized,
 * counters are 32-bit (byte totals 64-bit), character arrays keep their sizes,
 * alignment is natural. On a 32-bit build the offsets are the ones written
 * beside each field (checked at build time); on x86-64 the pointer-sized fields
 * are 8 bytes wide and the later offsets move accordingly. Always use
 * offsetof(), never hard-coded numbers.
 *
 * Verdicts: every LSPP_ export returns KELM_FILTER_PASS (0) to let the
 * operation go on or KELM_FILTER_BLOCKED (10053, connection aborted), on which
 * the host fails the operation. No other value is returned.
 *
 * Plain C; usable from C and C++.
 */
#ifndef KELM_NETFILTER_PLUGIN_H
#define KELM_NETFILTER_PLUGIN_H

#include <netinet/in.h>
#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Host callbacks use the platform's standard calling convention: callee-cleans
 * on 32-bit x86, the ordinary one everywhere else. */
#if defined(__i386__)
#define KELM_HOST_CALL __attribute__((stdcall))
#else
#define KELM_HOST_CALL
#endif

/* Plug-in exports: C linkage, visible from the shared library. */
#if defined(KELM_FILTER_BUILDING_PLUGIN)
#define KELM_FILTER_EXPORT __attribute__((visibility("default")))
#else
#define KELM_FILTER_EXPORT
#endif

/* ---- Constants -------------------------------------------------------- */

enum {
    KELM_FILTER_PASS = 0,                /* let the operation go on */
    KELM_FILTER_BLOCKED = 10053,         /* fail it (connection aborted) */
    KELM_FILTER_INVALID_PARAMETER = 87,  /* GetPluginInfo without a block */

    KELM_FILTER_PATH_SIZE = 260,         /* path and name fields, NUL included */

    KELM_FILTER_VERSION = 0x0207037C,    /* first version word, both plug-ins */
    KELM_HAZARDFILTER_BUILD = 2308,      /* second version word, exploit filter */
    KELM_HOSTFILTER_BUILD = 2356,        /* second version word, site filter */

    /* Report kinds and action levels. Action 3 means "block": the block flag
     * handed with a report starts as 1 exactly then. */
    KELM_BLOCK_KIND_SITE = 1,
    KELM_ACTION_BLOCK = 3
};

/* SocketContext.stateFlags. The low half carries the connection bits; the
 * high half (the 16-bit word at offset 54 on 32-bit x86) carries the kind of
 * the last recorded block: recording a block clears the high half first and
 * then stores the kind, so the kind is always exactly one of the three. */
#define KELM_SOCKET_CONNECTED 0x00000001u
#define KELM_SOCKET_CLOSED_WITH_WORD 0x00000002u
#define KELM_SOCKET_BLOCK_MASK 0xFFFF0000u
#define KELM_SOCKET_BLOCKED_BY_HOST 0x00010000u
#define KELM_SOCKET_BLOCKED_BY_SITE_LIST 0x00020000u
#define KELM_SOCKET_BLOCKED_AS_EXPLOIT 0x00030000u

/* ---- Records ------------------------------------------------------------ */

/* The socket handle as the host knows it (a descriptor on Linux). */
typedef uintptr_t KelmSocket;

/* One piece of a send or receive: the platform's (length, data) pair. */
typedef struct FilterBuffer {
    uint32_t len;       /* 32-bit: 0 */
    char* buf;          /* 32-bit: 4 */
} FilterBuffer;

/* Filled by GetPluginInfo; the host owns it. */
typedef struct FilterPluginInfo {
    uint32_t reserved;                      /*   0: not written by the plug-in */
    char name[KELM_FILTER_PATH_SIZE];       /*   4: "KelmHazardFilter" or "KelmHostFilter" */
    char vendor[KELM_FILTER_PATH_SIZE];     /* 264: the vendor's name */
    uint32_t version;                       /* 524: KELM_FILTER_VERSION */
    uint32_t build;                         /* 528: KELM_HAZARDFILTER_BUILD or KELM_HOSTFILTER_BUILD */
} FilterPluginInfo;

/* Built by the plug-in on its stack before every check callback: the two
 * setting words as the plug-in last saw them. When the context's words differ
 * after the callback, the plug-in calls SettingsChanged with this record. */
typedef struct FilterSettingsRecord {
    uint32_t size;                          /* 0: sizeof(FilterSettingsRecord) = 12 */
    uint32_t exploitFilterSetting;          /* 4 */
    uint32_t siteFilterSetting;             /* 8 */
} FilterSettingsRecord;

/* The host's per-socket record. The plug-ins read and write it in place. */
typedef struct SocketContext {
    void* hostData;                 /*    0: the host's own pointer; a detection's connection
                                               reference is this value plus
                                               offsetof(SocketContext, connectionReference) */
    uintptr_t releaseHandle;        /*    4: handed to ReleaseSocket on close */
    uint32_t connectionReference;   /*    8: the address of this field is the connection
                                               reference the callbacks receive */
    struct sockaddr_in localAddress;  /* 12: local address of the last bind */
    struct sockaddr_in remoteAddress; /* 28: remote address of the last connect */
    uint32_t detectionValue;        /*   44: copied into detection records */
    uint32_t reserved48;            /*   48 */
    uint32_t stateFlags;            /*   52: KELM_SOCKET_* */
    uint32_t closeWord;             /*   56: read on close */
    uint32_t receiveCalls;          /*   60 */
    uint32_t sendCalls;             /*   64 */
    uint32_t reserved68;            /*   68 */
    uint64_t bytesReceived;         /*   72 */
    uint64_t bytesSent;             /*   80 */
    uint16_t hostName[1024];        /*   88: UTF-16 host name of the last request, NUL-terminated */
    uint8_t firstSent[1024];        /* 2136: the first bytes sent on the socket */
    uint32_t firstSentLength;       /* 3160: 0 until the first send */
    uint8_t firstReceived[1024];    /* 3164: the first bytes received on the socket */
    uint32_t firstReceivedLength;   /* 4188: 0 until the first receive */
    uint32_t blocked;               /* 4192: non-zero: refuse every later call at once */
} SocketContext;

/* Handed to ReportBlock by the site filter. The name is freed by the plug-in
 * after the callback returns: copy it to keep it. */
typedef struct FilterBlockRecord {
    uint32_t size;                  /*  0: sizeof(FilterBlockRecord) */
    uint32_t kind;                  /*  4: KELM_BLOCK_KIND_SITE */
    uint32_t actionLevel;           /*  8: of the matching list entry */
    const uint16_t* categoryName;   /* 12: UTF-16, NUL-terminated, at most 260 characters */
    uint32_t reserved;              /* 16: 0 */
    void* connectionReference;      /* 20 */
} FilterBlockRecord;

/* Handed to ReportDetection by the exploit filter. */
typedef struct FilterDetectionRecord {
    uint32_t size;                  /*  0: sizeof(FilterDetectionRecord) */
    uint32_t detectionId;           /*  4 */
    uint32_t actionLevel;           /*  8 */
    void* connectionReference;      /* 12 */
    uint32_t unused[4];             /* 16: always 0 */
    uint32_t detectionValue;        /* 32: SocketContext.detectionValue */
    uint32_t reserved;              /* 36: 0 */
} FilterDetectionRecord;

/* The host's callback table. An empty (null) slot is skipped. Every check
 * callback writes a verdict word: non-zero blocks the operation. */
typedef struct FilterHostCallbacks {
    void* reserved[3];              /*  0, 4, 8: not used by the plug-ins */
    int32_t(KELM_HOST_CALL* CheckConnect)(void* connectionReference,
                                          FilterSettingsRecord* settings,
                                          uint32_t* verdict);       /* 12 */
    int32_t(KELM_HOST_CALL* CheckData)(void* connectionReference,
                                       FilterSettingsRecord* settings,
                                       uint32_t* verdict);          /* 16 */
    int32_t(KELM_HOST_CALL* NotifyClose)(void* connectionReference); /* 20 */
    /* In/out block flag: starts as 1 for action level 3, else 0; the plug-in
     * blocks exactly when it is non-zero on return. */
    int32_t(KELM_HOST_CALL* ReportBlock)(FilterBlockRecord* record,
                                         int32_t* blockFlag);       /* 24 */
    int32_t(KELM_HOST_CALL* ReportDetection)(FilterDetectionRecord* record,
                                             int32_t* blockFlag);   /* 28 */
} FilterHostCallbacks;

/* The host's context, handed to InitPlugin2 and kept by pointer for the life
 * of the plug-in. The plug-ins read the setting words on every call. */
typedef struct FilterHostContext {
    FilterHostCallbacks* callbacks;                  /*   0 */
    uint32_t siteFilterSetting;                      /*   4: 0 disables site filtering */
    uint32_t exploitFilterSetting;                   /*   8: 0 disables exploit scanning */
    char detectionPath[KELM_FILTER_PATH_SIZE];       /*  12: exploit detection file */
    char siteDatabasePath[KELM_FILTER_PATH_SIZE];    /* 272: site database file */
    /* Writes the socket's context (or null when the host has none). */
    int32_t(KELM_HOST_CALL* GetSocketContext)(KelmSocket socket,
                                              SocketContext** context);  /* 532 */
    void* reserved536;                                                   /* 536 */
    int32_t(KELM_HOST_CALL* ReleaseSocket)(uintptr_t releaseHandle);     /* 540 */
    /* Writes the time of the host's last database update on the plug-ins'
     * tick clock: milliseconds of CLOCK_MONOTONIC, truncated to 32 bits. A
     * value greater than the tick count of the plug-in's last load makes it
     * reload its database. */
    int32_t(KELM_HOST_CALL* GetDatabaseTime)(uint32_t* time);            /* 544 */
    int32_t(KELM_HOST_CALL* SettingsChanged)(FilterSettingsRecord* settings); /* 548 */
} FilterHostContext;

/* ---- Exports -------------------------------------------------------------- */

/* The trace object (the kit's GMCTraceLog, a C++ class; see
 * netfilter/kit/README.md). Ownership follows the call order: an object set
 * before InitPlugin stays the host's; an object set after InitPlugin, when the
 * plug-in had none before, is handed over and the exploit filter destroys it
 * (with delete) in TermPlugin. Give each plug-in its own object, or set it
 * before InitPlugin to keep it. */
#ifdef __cplusplus
}  /* extern "C" */
class GMCTraceLog;
extern "C" {
#else
typedef struct GMCTraceLog GMCTraceLog;
#endif

/* Fills the block; KELM_FILTER_INVALID_PARAMETER when it is null. */
KELM_FILTER_EXPORT int32_t GetPluginInfo(FilterPluginInfo* info);
KELM_FILTER_EXPORT int32_t InitPlugin(void);
/* Accepts the context when it is non-null, its site database path is not
 * empty and callbacks, GetSocketContext, ReleaseSocket, GetDatabaseTime and
 * SettingsChanged are set; then loads the plug-in's database. Always 0. */
KELM_FILTER_EXPORT int32_t InitPlugin2(FilterHostContext* context);
KELM_FILTER_EXPORT int32_t SetTrace(GMCTraceLog* trace);
KELM_FILTER_EXPORT int32_t TermPlugin(void);

/* The send's buffers. The plug-in never writes into the caller's data; when
 * it has to change outgoing bytes it replaces buffers[i].buf with a copy it
 * owns, valid until the next LSPP_ call on the same socket: the host sends
 * from the array as it stands after the call. */
KELM_FILTER_EXPORT int32_t LSPP_Send(KelmSocket socket, FilterBuffer* buffers,
                                     uint32_t bufferCount, uint32_t byteCount);
/* The receive's buffers, holding bytesReceived bytes in order. The exploit
 * filter may overwrite matched bytes with 'X' in place (disarming). */
KELM_FILTER_EXPORT int32_t LSPP_Recv(KelmSocket socket, FilterBuffer* buffers,
                                     uint32_t bufferCount, uint32_t bytesReceived,
                                     const struct sockaddr_in* remoteAddress);
KELM_FILTER_EXPORT int32_t LSPP_CloseSocket(KelmSocket socket);

/* Site filter only. */
KELM_FILTER_EXPORT int32_t LSPP_Bind(KelmSocket socket, const struct sockaddr_in* localAddress);
KELM_FILTER_EXPORT int32_t LSPP_Connect(KelmSocket socket, const struct sockaddr_in* remoteAddress);

/* Export types, for hosts that look the functions up with dlsym(). */
typedef int32_t (*GetPluginInfoFn)(FilterPluginInfo*);
typedef int32_t (*InitPluginFn)(void);
typedef int32_t (*InitPlugin2Fn)(FilterHostContext*);
typedef int32_t (*SetTraceFn)(GMCTraceLog*);
typedef int32_t (*TermPluginFn)(void);
typedef int32_t (*LSPP_SendFn)(KelmSocket, FilterBuffer*, uint32_t, uint32_t);
typedef int32_t (*LSPP_RecvFn)(KelmSocket, FilterBuffer*, uint32_t, uint32_t,
                               const struct sockaddr_in*);
typedef int32_t (*LSPP_CloseSocketFn)(KelmSocket);
typedef int32_t (*LSPP_BindFn)(KelmSocket, const struct sockaddr_in*);
typedef int32_t (*LSPP_ConnectFn)(KelmSocket, const struct sockaddr_in*);

#ifdef __cplusplus
}  /* extern "C" */
#endif

#endif /* KELM_NETFILTER_PLUGIN_H */
