#include "phone/daemon/DaemonStartup.h"

int main(int argc, char** argv) { return tavrin::runDaemon(argc, argv); }
