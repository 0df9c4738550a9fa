#pragma once
// Ctrl+C (or the console closing) ends the run early, with its summary.
namespace tervex::host {

void InstallStopHandler();
bool StopRequested();

}  // namespace tervex::host
