// kelmora: fills live values into a text file in place.
#include "app/run.h"
#include "console/console.h"
#include "platform/platform.h"
#include "runtime/fault_report.h"

int main(int argc, char** argv) {
  kelmora::platform::Init(argc, argv);
  kelmora::runtime::InstallFaultReport();
  kelmora::console::SetUpConsole();
  kelmora::app::Run();
}
