#include "app/TApplication.h"
#include "platform/NamedMutex.h"

int main(int argc, char** argv) {
  // One instance at a time: a second one ends at once, without a window and
  // without touching what it was given.
  platform::NamedMutex mutex("Velmora");
  if (!mutex.Owned()) return 0;
  TApplication application(argc, argv);
  return application.Run();
}
