#include "phone/mirror/MirrorMain.h"

int main(int argc, char** argv) { return tavrin::mirror::mirrorMain(argc, argv); }
