// What the end of a scan (and of an item action run) does outside the
// window: the sound, the beep, the restart of the machine and the start of
// the prevalence report. One replaceable set, so tests and headless runs
// record instead of sounding or restarting.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "win/ui/shell.h"

// MessageBeep's exclamation and simple beep; ExitWindowsEx's reboot|force.
inline constexpr unsigned kBeepExclamation = win::MB_ICONEXCLAMATION;
inline constexpr unsigned kBeepSimple = 0xFFFFFFFF;
inline constexpr unsigned kRestartFlags = win::EWX_REBOOT | win::EWX_FORCE;

struct CScanEndActions {
    // Plays the WAV file at PATH and returns when it has ended; false when
    // it cannot be played.
    std::function<bool(const std::string& path)> playSound;
    std::function<void(unsigned type)> beep;
    // Restarts the machine with ExitWindowsEx's FLAGS; false when refused.
    std::function<bool(unsigned flags)> restart;
    // The prevalence report, run on a pool thread with the number of
    // threats found. Empty: no report is sent (the report is not built yet).
    std::function<void(unsigned threats)> prevalenceReport;
};

// The process's set; the defaults use the platform's sound and shut-down.
CScanEndActions& ScanEndActions();
// Puts back the defaults.
void ResetScanEndActions();

// The scan-end sound: the installed sound component when it is installed
// locally, else "roar.wav" beside the program.
std::string ScanSoundPath();

// Plays the scan-end sound; beeps when the file is missing or cannot be
// played.
void PlayScanEndSound();

// Starts the prevalence report on the thread pool (nothing when no report
// function is set).
void StartPrevalenceReport(unsigned threats);

// Whether the last scan that ended had been stopped by the user; the
// prevalence report reads it.
extern std::atomic<bool> g_bLastScanStopped;
