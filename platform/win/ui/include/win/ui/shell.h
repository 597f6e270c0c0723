// Sounds and shut-down: the stand-ins for MessageBeep, PlaySound (a WAV
// file, synchronously) and ExitWindowsEx.
//
// Sounds: MessageBeep rings the desktop's bell (QApplication::beep) when the
// process has a GUI application object; PlaySoundFile runs the system's
// command-line player (paplay, else aplay) and waits for it. With
// KELM_SOUND_RECORD naming a file, both append a line to that file instead
// of making a sound, so tests and headless runs can see what would sound.
//
// Shut-down goes through one replaceable action. The default one asks the
// login manager (logind, over the system D-Bus); with KELM_SHUTDOWN_RECORD
// naming a file it only appends a line there, so demos and tests never end
// the session or restart the machine.
#pragma once

#include "win/types.h"

#include <functional>
#include <string>

namespace win {

// MessageBeep types (the Windows values). 0xFFFFFFFF is the simple beep.
inline constexpr UINT MB_OK = 0x00000000;
inline constexpr UINT MB_ICONHAND = 0x00000010;
inline constexpr UINT MB_ICONQUESTION = 0x00000020;
inline constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
inline constexpr UINT MB_ICONASTERISK = 0x00000040;

// The environment variables read at every call.
inline constexpr const char* kSoundRecordVariable = "KELM_SOUND_RECORD";
inline constexpr const char* kShutdownRecordVariable = "KELM_SHUTDOWN_RECORD";

// Rings the bell for any TYPE (the desktop has one sound for all of them).
// Without a QApplication (a console program) nothing sounds. From another
// thread the bell is queued to the application's thread. With
// KELM_SOUND_RECORD set, appends "beep 0x<type, 8 hex digits>" to that file
// instead. Always TRUE, as on Windows when the sound system is missing.
BOOL MessageBeep(UINT type);

// Plays the WAV file PATH and returns when it has ended. False when the file
// is missing, unreadable or not a RIFF/WAVE file (ERROR_FILE_NOT_FOUND,
// ERROR_ACCESS_DENIED, ERROR_INVALID_DATA), when neither paplay nor aplay is
// on PATH (ERROR_FILE_NOT_FOUND), when the player fails (ERROR_GEN_FAILURE)
// or does not finish within the sound's length plus kSoundGraceMs, at most
// kSoundMaxWaitMs (the player is killed; ERROR_TIMEOUT). With
// KELM_SOUND_RECORD set, a good file's absolute path is appended to that
// file instead of playing it (true).
bool PlaySoundFile(const std::string& path);

// PlaySound flags (the Windows values) and the call as the suite makes it:
// a file name, synchronously. SOUND is a file path (SND_FILENAME required);
// MODULE is ignored. Flags other than SND_FILENAME, SND_NODEFAULT and
// SND_SYNC (sound aliases, resources, asynchronous or looping play) are not
// supported: FALSE with ERROR_INVALID_PARAMETER, as is a null SOUND.
// Otherwise PlaySoundFile's answer. No default sound is played on failure
// (the callers beep themselves).
inline constexpr DWORD SND_SYNC = 0x00000000;
inline constexpr DWORD SND_ASYNC = 0x00000001;
inline constexpr DWORD SND_NODEFAULT = 0x00000002;
inline constexpr DWORD SND_FILENAME = 0x00020000;
BOOL PlaySound(const char* sound, void* module, DWORD flags);

inline constexpr int kSoundGraceMs = 3000;
inline constexpr int kSoundMaxWaitMs = 60000;

// ExitWindowsEx flags (the Windows values).
inline constexpr UINT EWX_LOGOFF = 0x00000000;
inline constexpr UINT EWX_SHUTDOWN = 0x00000001;
inline constexpr UINT EWX_REBOOT = 0x00000002;
inline constexpr UINT EWX_FORCE = 0x00000004;
inline constexpr UINT EWX_POWEROFF = 0x00000008;
inline constexpr UINT EWX_FORCEIFHUNG = 0x00000010;

// Ends the session or the machine through the current shut-down action and
// returns what it answered. FLAGS holding bits other than the EWX_ ones:
// FALSE with ERROR_INVALID_PARAMETER and no action. REASON is accepted and
// ignored. An action that fails without setting a last error leaves
// ERROR_GEN_FAILURE; one that throws is a failure too.
BOOL ExitWindowsEx(UINT flags, DWORD reason);

// What a flag word asks for: EWX_REBOOT wins, then EWX_SHUTDOWN or
// EWX_POWEROFF ("shutdown"), else "logoff"; " force" is added for EWX_FORCE
// or EWX_FORCEIFHUNG. The line the default action records.
std::string DescribeShutdown(UINT flags);

// The shut-down action: given ExitWindowsEx's flags, true when the request
// was accepted; on failure it sets the last error.
using ShutdownAction = std::function<bool(UINT flags)>;

// Replaces the action and returns the previous one (the default action the
// first time). An empty ACTION restores the default. Thread-safe; a call
// already running keeps the action it started with.
ShutdownAction SetShutdownAction(ShutdownAction action);

// The default action: with KELM_SHUTDOWN_RECORD set, appends
// DescribeShutdown(flags) to that file; otherwise asks the login manager on
// the system D-Bus (org.freedesktop.login1: Reboot or PowerOff with
// interactive authorisation, or TerminateSession of this process's
// session). The login manager has no "force": sessions end the same way
// with or without it. A refusal answers ERROR_ACCESS_DENIED, any other
// failure (no system bus, no login manager, no session) ERROR_GEN_FAILURE.
bool DefaultShutdownAction(UINT flags);

}  // namespace win
