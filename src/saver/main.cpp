// klx-saver: the screensaver program. See README for the switches.
#include "app/saver_entry.h"
#include "app/saver_mode.h"

int main(int argc, char** argv) {
  return klx::RunSaverProcess(klx::JoinCommandLine(argc, argv));
}
