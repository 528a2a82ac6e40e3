#include <atomic>

#include "stampctl/link/usb_transport.h"

namespace stampctl::link {
namespace {
std::atomic<TransportFactory> g_factory{nullptr};
}  // namespace

void setTransportFactory(TransportFactory factory) { g_factory.store(factory); }

TransportFactory transportFactory() { return g_factory.load(); }

}  // namespace stampctl::link
