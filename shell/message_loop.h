// The program's message loop and the one way it handles a message.
#pragma once

// Runs until the quit message arrives; returns at once when no window is
// alive.
void RunMessageLoop();

// Takes the next message out of the queue (waiting for one if need be) and,
// unless a window's pre-translation takes it, translates and dispatches it.
// False when the message taken was the quit message; it is then not handled,
// and its exit code goes to `quit_code` if one is given.
bool HandleNextMessage(int* quit_code = nullptr);
