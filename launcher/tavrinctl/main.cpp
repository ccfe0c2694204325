// tavrinctl HOST[:PORT] COMMAND [ARGS]: one command to a phone daemon.
#include <cstdio>
#include <string>
#include <vector>

#include "launcher/setup/DaemonClient.h"
#include "launcher/tavrinctl/CtlArguments.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && (args[0] == "-h" || args[0] == "--help")) {
    fputs(tavrin::ctlUsage().c_str(), stdout);
    return 0;
  }
  std::string error;
  auto request = tavrin::parseCtlArguments(args, &error);
  if (!request) {
    fprintf(stderr, "tavrinctl: %s\n%s", error.c_str(), tavrin::ctlUsage().c_str());
    return 2;
  }
  const std::string where = request->host + ":" + std::to_string(request->port);
  auto reply = tavrin::exchangeDaemonCommand(request->host.c_str(), request->port, request->command,
                                             request->data.empty() ? nullptr : request->data.data(),
                                             request->data.size());
  switch (reply) {
    case tavrin::DaemonReply::Success:
      printf("%s: done (%s)\n", request->name.c_str(), where.c_str());
      return 0;
    case tavrin::DaemonReply::Refused:
      fprintf(stderr, "tavrinctl: %s: the phone daemon at %s answered failure\n", request->name.c_str(),
              where.c_str());
      return 1;
    case tavrin::DaemonReply::NoConnection:
      fprintf(stderr, "tavrinctl: no phone daemon reachable at %s\n", where.c_str());
      return 3;
    case tavrin::DaemonReply::NoAnswer:
      break;
  }
  fprintf(stderr, "tavrinctl: %s: no answer from %s\n", request->name.c_str(), where.c_str());
  return 3;
}
