#include "EngineWorld.h"

namespace bench {

uint8_t DevicePort::WritePort(uint8_t port, const uint8_t* data, int32_t count) {
    ++writes;
    if (port < kPorts) FBusy[port] = true;
    FDevice.OnWrite(port, data, count);
    return 0;
}

int64_t EngineWorld::RunUntilEnded(int64_t tasks) {
    int64_t delivered = 0;
    AnsweringDevice::Answer answer;
    while (sink.finished + sink.dropped < tasks) {
        bool any = false;
        for (uint8_t p = 0; p < AnsweringDevice::kMaxPorts; ++p) {
            if (!device.Take(p, answer)) continue;
            any = true;
            ++delivered;
            if (engine.IsFrameComplete(p, answer.bytes.data(), answer.size)) {
                engine.DataReceived(p, answer.bytes.data(), answer.size);
            }
        }
        if (!any) {
            break;  // the last step wrote nothing: nothing left that can move
        }
        engine.SendNext();
    }
    return delivered;
}

}  // namespace bench
