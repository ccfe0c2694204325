#include "client/session/ClientEntry.h"

int main(int argc, char** argv) { return tavrin::runClient(argc, argv); }
