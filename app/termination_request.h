// A request to end the program, made while the program is still starting.
//
// Start-up does not stop when it asks for termination: its remaining steps still run (and may
// show messages of their own). The request is remembered, and the main loop ends at its first
// turn when it finds it set, so the main window never becomes usable.
#pragma once

namespace sorami {

class TTerminationRequest {
 public:
  void Request() { requested_ = true; }
  bool IsRequested() const { return requested_; }

 private:
  bool requested_ = false;
};

}  // namespace sorami
