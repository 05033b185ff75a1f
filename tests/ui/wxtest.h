// The harness of the window tests: wx is started once by the test main; tests
// pump its events until a condition holds and keep screenshots.
#pragma once
#include <functional>
#include <string>

namespace wxtest {

// Dispatches pending events (and runs queued CallAfter calls) until done()
// holds or the time runs out; true when done() held.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
// Dispatches what is pending now, for about the given time.
void Pump(int ms = 50);
// Saves a PNG of what the windows on screen show as <build folder>/<name>.png,
// cut to their extent (the empty screen around them left out); true when written.
bool SaveScreenshot(const std::string& name);
// The same of the whole screen, for tests that compare pictures pixel by
// pixel at screen positions.
bool SaveWholeScreen(const std::string& name);

}  // namespace wxtest
