#pragma once

#include <cstdint>

namespace Quorvex::VarnelNet {

// A window that only exchanges messages: it owns one thread that pumps its queue and calls the
// window procedure there. Sent and posted messages are delivered in the order they were queued.
// Every function looks the handle up first, so a null or destroyed handle is harmless (the
// "0"/false results below); on its own thread a window stays reachable until its thread ends.
// A procedure must not let an exception escape.
class MessageWindow;
using HWND = MessageWindow*;

using WNDPROC = std::intptr_t (*)(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam);

constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_USERDATA = -21;

// Creates a window whose procedure is proc, with its own message thread.
HWND CreateMessageWindow(WNDPROC proc);
// Refuses further messages, delivers those already queued (senders get their results), stops
// the thread and frees the window. Called on the window's own thread (from a handler), it stops
// after the current message instead: the rest of the queue is dropped and waiting senders get 0.
void DestroyWindow(HWND hwnd);

// Replaces the procedure (GWLP_WNDPROC, value: a WNDPROC) or the user data (GWLP_USERDATA) and
// returns the previous value; 0 for an unknown slot or a null or destroyed window. Replacing the
// procedure waits until a message being handled on the window's thread has been handled (on that
// thread, inside a handler, it does not wait); messages still queued go to the new procedure.
// A null procedure answers every message with 0.
std::intptr_t SetWindowLongPtrA(HWND hwnd, int index, std::intptr_t value);
std::intptr_t GetWindowLongPtrA(HWND hwnd, int index);
// Calls proc on the calling thread (how a replacing procedure passes a message on); 0 for a
// null proc.
std::intptr_t CallWindowProcA(WNDPROC proc, HWND hwnd, std::uint32_t msg, std::uint64_t wparam,
                              std::int64_t lparam);
// Runs the procedure on the window's thread and waits for its result; runs it directly when
// called on that thread. Returns 0 for a null or destroyed window, and when the window is
// destroyed from its own thread before the message is delivered.
std::intptr_t SendMessageA(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam);
// Queues the message for the window's thread and returns at once; false for a null or
// destroyed window.
bool PostMessageA(HWND hwnd, std::uint32_t msg, std::uint64_t wparam, std::int64_t lparam);

}  // namespace Quorvex::VarnelNet
