#include "menu/ComServer.h"

#include "platform/ModulePath.h"

std::string TComServer::ServerFileName() { return platform::ModulePath(); }
