#include "phone/input/EventNodes.h"
#include "phone/input/InputDaemon.h"

int main(int argc, char** argv) {
  tavrin::KernelEventNodes nodes;
  return tavrin::runInputDaemon(argc, argv, nodes);
}
