// Waiting while the window stays responsive: pending messages are dispatched
// as they come, and the thread sleeps in between.
#pragma once

#include <cstdint>

// How often a wait asks whether the clip it waits for still plays, and how
// long before its end it stops asking.
inline constexpr uint32_t kClipCheckIntervalMs = 50;
inline constexpr uint32_t kUnwatchedEndMs = 150;

// Dispatches every pending message but the quit message, which stays queued
// for the main message loop. Gives how many it dispatched.
int PumpPendingMessages();

// Waits until `ms` milliseconds have passed since the counter read `start`,
// dispatching messages as they arrive. Returns early when the main window
// has been closed, and when `still_going`, asked at most every
// kClipCheckIntervalMs until the last kUnwatchedEndMs, gives false. Returns
// at once when ms is 0 or less.
void WaitSince(uint32_t start, int32_t ms, bool (*still_going)(void* context), void* context);

// Waits `ms` milliseconds from now, as WaitSince does.
void WaitProcessingEvents(int32_t ms);
