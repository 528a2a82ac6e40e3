// The machine's replies, as arbitrary as a broken or hostile device could make them, through a
// transport of our own behind the controller, while a sequence of exports runs.
//
// The input is read from both ends (FuzzedDataProvider): from the back, which exports run and
// with what arguments; from the front, one control byte and up to 64 bytes per reply. The
// control byte mostly asks for a packet that passes the frame checks (sync, kind, length, echo,
// checksum put right), so that the fuzzer reaches what the library does with a reply's data;
// its other values leave parts of the frame as they came, cut the packet short or let the read
// time out. Once the input is used up, every read times out.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core.hpp>

#include "stampctl/core/clock.h"
#include "stampctl/link/frame.h"
#include "stampctl/link/usb_transport.h"
#include "stampctl/seal.h"
#include "stampctl/stampctl.h"
#include "tests/fuzz/fuzz_support.h"

using namespace stampctl;
using namespace stampctl::link;

namespace {

constexpr int kUsbErrorTimeout = -7;  // LIBUSB_ERROR_TIMEOUT
constexpr int64_t kReplyLatencyMs = 2;
constexpr int kMaxCalls = 12;

// Control byte: the top three bits choose the kind of read, the low four which parts of the
// frame stay as the fuzzer wrote them.
constexpr uint8_t kReadKindMask = 0xE0;
constexpr uint8_t kReadTimesOut = 0xE0;
constexpr uint8_t kReadIsShort = 0xC0;
constexpr uint8_t kRawHeader = 0x01;
constexpr uint8_t kRawLength = 0x02;
constexpr uint8_t kRawEcho = 0x04;
constexpr uint8_t kRawChecksum = 0x08;
constexpr uint8_t kShortLengthMask = 0x3F;

struct Run {
    FuzzedDataProvider* input = nullptr;
    VirtualClock clock;
    std::vector<uint8_t> request;  // the last frame the library sent
};
Run g_run;

class FuzzTransport : public UsbTransport {
public:
    void SetPoint(int, int) override {}
    int DevUsbOpen(int, int) override { return 0; }
    void DevUsbClose() override {}

    int DevUsbWrite(unsigned char* data, unsigned int len, int& transferred, unsigned int) override
    {
        g_run.request.assign(data, data + len);
        transferred = static_cast<int>(len);
        return 0;
    }

    int DevUsbRead(unsigned char* data, unsigned int len, int& transferred, unsigned int timeoutMs) override
    {
        transferred = 0;
        // Between inputs (the controller's teardown at exit) nothing answers either.
        FuzzedDataProvider* in = g_run.input;
        const uint8_t control = in && in->remaining_bytes() ? in->ConsumeIntegral<uint8_t>() : kReadTimesOut;
        if ((control & kReadKindMask) == kReadTimesOut) {
            g_run.clock.advance(timeoutMs);
            return kUsbErrorTimeout;
        }
        g_run.clock.advance(kReplyLatencyMs);
        const size_t size = len < kPacketSize ? len : kPacketSize;
        std::memset(data, 0, size);
        const std::vector<uint8_t> bytes = in->ConsumeBytes<uint8_t>(size);
        if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
        if ((control & kReadKindMask) == kReadIsShort) {
            transferred = static_cast<int>((control & kShortLengthMask) % size);
            return 0;
        }
        shape(data, control);
        transferred = static_cast<int>(size);
        return 0;
    }

private:
    static void shape(uint8_t* packet, uint8_t control)
    {
        const std::vector<uint8_t>& req = g_run.request;
        if (!(control & kRawHeader)) {
            packet[0] = kSync0;
            packet[1] = kSync1;
            if (req.size() > kOffKind) packet[kOffKind] = req[kOffKind] | kReplyKindFlag;
        }
        if (!(control & kRawLength))
            packet[kOffLength] =
                static_cast<uint8_t>(kMinReplyLength + packet[kOffLength] % (kMaxReplyLength - kMinReplyLength + 1));
        if (!(control & kRawEcho) && req.size() > kOffCommand) {
            packet[kOffBody] = req[kOffBody];
            packet[kOffCommand] = req[kOffCommand];
        }
        const size_t frameLen = packet[kOffLength] + kFrameOverhead;
        if (!(control & kRawChecksum) && frameLen <= kPacketSize) packet[frameLen - 1] = checksum(packet, frameLen - 1);
    }
};

std::unique_ptr<UsbTransport> makeFuzzTransport() { return std::make_unique<FuzzTransport>(); }

// A blank sheet as the last photo's cut, so that the stamp calls get past their picture checks
// to the machine.
void storeBlankSheet()
{
    CutResult cut;
    cut.paperFound = true;
    cut.paper = cv::Rect(40, 30, 1980, 2800);
    cut.paperWidth = cut.paper.width;
    cut.paperHeight = cut.paper.height;
    cut.picture = cv::Mat(cut.paper.height, cut.paper.width, CV_8UC3, cv::Scalar::all(255));
    CSeal::Instance()->storeCut(cut);
}

fuzz::ScratchBase& scratch()
{
    static fuzz::ScratchBase base;
    static const bool installed = [] {
        setTransportFactory(&makeFuzzTransport);
        setClock(&g_run.clock);
        storeBlankSheet();
        return true;
    }();
    (void)installed;
    return base;
}

std::string text(FuzzedDataProvider& in) { return in.ConsumeRandomLengthString(64); }
int seal(FuzzedDataProvider& in) { return in.ConsumeIntegralInRange(1, 6); }
int angle(FuzzedDataProvider& in) { return in.PickValueInArray({0, 90, 180, 270}); }
// Text results are only read: a bad pointer or an unterminated buffer shows up here.
void use(const char* result)
{
    volatile size_t n = std::strlen(result);
    (void)n;
}

// Exports whose work depends on what the machine answers; the arguments stay sensible, since
// the callers' arguments are not what is being tried here.
const char* (*const kTextCalls[])() = {getMachineNum,  getMachineType, getMachineId,
                                       getFirmwareVer, inqAlarmLog,    readOpenBackDoorExceptionInfo};
int (*const kPlainCalls[])() = {isConnMachine, getFirmwareMode,       checkPaperDoorState, checkBackDoorState,
                                GetPrintReset, initializationMachine, setAcrossPageSeal,   disconnMachine};
const std::vector<std::function<void(FuzzedDataProvider&)>> kCalls = {
    [](FuzzedDataProvider& in) { use(in.PickValueInArray(kTextCalls)()); },
    [](FuzzedDataProvider& in) { in.PickValueInArray(kPlainCalls)(); },
    [](FuzzedDataProvider&) { connMachine("mt5934mt"); },
    [](FuzzedDataProvider& in) { connMachine(text(in).c_str()); },
    [](FuzzedDataProvider&) { use(getRFID()); },
    [](FuzzedDataProvider&) { use(querySloatInfo(getMachineNum())); },
    [](FuzzedDataProvider&) { use(querySealInfo(getMachineNum())); },
    [](FuzzedDataProvider& in) { BindRFIDAndSlot(in.ConsumeBool()); },
    [](FuzzedDataProvider& in) { openPaperDoorEx(in.ConsumeIntegralInRange(0, 30)); },
    [](FuzzedDataProvider&) {
        short longSide, shortSide, cx[4], cy[4], ox[24], oy[24];
        GetAllJZInfo(&longSide, &shortSide, cx, cy, ox, oy);
    },
    [](FuzzedDataProvider& in) {
        const int s = seal(in), x = in.ConsumeIntegralInRange(0, 300);
        autoPrintStart(s, x, in.ConsumeIntegralInRange(0, 420), angle(in));
    },
    [](FuzzedDataProvider& in) {
        const int s = seal(in), x = in.ConsumeIntegralInRange(0, 2000);
        manualPrintStart(s, x, in.ConsumeIntegralInRange(0, 2800), angle(in));
    },
    [](FuzzedDataProvider& in) { initStamp(getMachineNum(), text(in).c_str()); },
    [](FuzzedDataProvider& in) { setMachineNum(text(in).c_str()); },
    [](FuzzedDataProvider& in) { setSecurityCode(text(in).c_str()); },
    [](FuzzedDataProvider& in) { lockSeal(text(in).c_str()); },
    [](FuzzedDataProvider& in) { openMachineBackDoorUnNormal(text(in).c_str()); },
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    scratch().nextRun();
    FuzzedDataProvider in(data, size);
    g_run.input = &in;
    // Every input starts from a fresh connection, whatever the last one left behind.
    connMachine("mt5934mt");
    const int calls = in.ConsumeIntegralInRange(1, kMaxCalls);
    for (int i = 0; i < calls; ++i) {
        const size_t which = in.ConsumeIntegralInRange<size_t>(0, kCalls.size() - 1);
        kCalls[which](in);
    }
    disconnMachine();
    g_run.input = nullptr;
    return 0;
}
