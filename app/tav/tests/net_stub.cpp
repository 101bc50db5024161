// A stand-in for the system's "net" command in the network lookup tests:
// "net view" prints canned server or share lists in the system command's
// layout.  KWI_NET_STUB picks the case: "servers" (default), "slow" (the
// header first, the servers 2 s later), "hang" (nothing for 6 s), "nosep"
// (no separator line).  "net view \\SERVER1" lists that server's shares.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

static void Out(const char* s) {
  fputs(s, stdout);
  fflush(stdout);
}

int main(int argc, char** argv) {
  char mode[32] = "servers";
  GetEnvironmentVariableA("KWI_NET_STUB", mode, sizeof mode);
  const char* rule = "-------------------------------------------------------------------------------\n";
  if (argc >= 3 && strstr(argv[2], "SERVER1")) {
    Out("Shared resources at \\\\SERVER1\n\n\nShare name   Type  Used as  Comment\n\n");
    Out(rule);
    Out("DOCS         Disk           documents\nPUBLIC       Disk\nAVERYLONGSHARENAME Disk\n");
    Out("The command completed successfully.\n\n");
    return 0;
  }
  if (strcmp(mode, "hang") == 0) Sleep(6000);
  Out("Server Name            Remark\n\n");
  if (strcmp(mode, "nosep") != 0) Out(rule);
  if (strcmp(mode, "slow") == 0) Sleep(2000);
  Out("\\\\SERVER1              first server\n\\\\SERVER2\n");
  Out("\\\\AVERYLONGSERVERNAMEHERE remark\n");
  Out("The command completed successfully.\n\n");
  return 0;
}
