// Playing a clip through the MCI command strings, measuring it, and waiting
// it out while the window stays responsive.
#pragma once

#include <cstdint>

// Closes whatever plays under `alias`, opens the clip under it and starts it.
// True when MCI accepted the play command.
bool PlayClip(const char* path, const char* alias);

// The clip's length in milliseconds as MCI reports it; 0 when it reports none.
int32_t ClipLengthMs(const char* path);

// Spins for more than `ms` milliseconds, dispatching pending messages all the
// while. Returns at once when ms is 0 or less.
void WaitProcessingEvents(int32_t ms);

// Dispatches every pending message but the quit message, which stays queued
// for the main message loop.
void PumpPendingMessages();
