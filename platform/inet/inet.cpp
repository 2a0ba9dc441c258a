#include "platform/inet/inet.h"

#include <atomic>

namespace inet {
namespace {

std::atomic<bool> g_fail{false};

// The library's texts for the errors the programs may meet.
constexpr const char* kCatalogue =
    "12001 No more Internet handles can be allocated.\n"
    "12002 The operation timed out.\n"
    "12003 The server returned extended information.\n"
    "12004 An internal error occurred in the Internet library.\n"
    "12005 The URL is invalid.\n"
    "12006 The URL scheme is not recognised or not supported.\n"
    "12007 The server name cannot be resolved.\n"
    "12008 The requested protocol cannot be found.\n"
    "12009 The option is invalid.\n"
    "12013 The user name is not accepted.\n"
    "12014 The password is not accepted.\n"
    "12015 The login failed.\n"
    "12017 The operation was cancelled.\n"
    "12029 No connection to the server can be made.\n"
    "12030 The connection to the server was ended.\n"
    "12031 The connection to the server was reset.\n"
    "12152 The server's response is invalid.\n"
    "12157 A secure channel error occurred.\n";

}  // namespace

msgres::Library LoadLibrary() {
  if (g_fail) return 0;
  return msgres::LoadBuiltin("wininet.dll", kCatalogue);
}

void FailLoadForTest(bool fail) { g_fail = fail; }

}  // namespace inet
