#include "protocol/PortTable.h"

namespace tervex {

uint16_t TComPort::FindOrCreateDevice(uint16_t address) {
    for (size_t i = 0; i < Devices.size(); ++i) {
        if (Devices[i].Address == address) {
            return static_cast<uint16_t>(i);
        }
    }
    TDeviceStatus device;
    device.Address = address;
    Devices.push_back(device);
    return static_cast<uint16_t>(Devices.size() - 1);
}

void TComPort::ClearPasswordsOf(uint16_t address) {
    for (TDeviceStatus& device : Devices) {
        if (device.Address == address) {
            device.ClearPasswords();
            return;
        }
    }
}

PortPtr TPortTable::Find(uint8_t portNo) const {
    for (const PortPtr& port : FPorts) {
        if (port->PortNo == portNo) {
            return port;
        }
    }
    return nullptr;
}

PortPtr TPortTable::FindOrCreate(uint8_t portNo) {
    if (PortPtr port = Find(portNo)) {
        return port;
    }
    FPorts.push_back(std::make_shared<TComPort>(portNo, *FTicks));
    return FPorts.back();
}

void TPortTable::Clear() {
    std::vector<PortPtr> ports;
    ports.swap(FPorts);
    for (auto it = ports.rbegin(); it != ports.rend(); ++it) {
        (*it)->Detached = true;
        (*it)->Queue.Clear();
        (*it)->Assembler.Reset();
    }
}

}  // namespace tervex
