// Why COM ports could not be opened, told to the user in words they can act
// on when the probe found no modem. The serial backend notes how the last
// open of every COM port went; the front ends show the report.
#pragma once

#include "platform/posix/port_list.h"

#include <string>
#include <vector>

struct PortOpenOutcome {
    std::string com_name;  // "COM4"
    std::string path;      // the device tried
    bool mapped = false;   // named by FLASHLOADER_COM<n>, not the default
    int error = 0;         // errno of the failure; 0: it opened
};

// The last outcome of each COM port, in the order the ports were first tried.
class PortOpenRecord {
public:
    void note(const char* com_name, const char* path, bool mapped, int error);
    const std::vector<PortOpenOutcome>& outcomes() const { return outcomes_; }

private:
    std::vector<PortOpenOutcome> outcomes_;
};

// A failure the user can act on: permission, busy, not a tty, or any failure
// of a mapped device. A default /dev/ttyS<n> that is absent or has no UART
// is what most machines have, and is not reported.
bool worth_reporting(const PortOpenOutcome& outcome, const std::vector<SerialPortInfo>& ports);

// One line per failure worth reporting, with what to do about it; then which
// serial devices exist and how to map one, when a mapped device is missing
// or when no port opened and none is mapped. "" when there is nothing to say.
std::string open_failure_report(const std::vector<PortOpenOutcome>& outcomes, const std::vector<SerialPortInfo>& ports);

// After the job: the report when the probe tried every port down to COM1
// without finding a modem (the machine's /sys and /dev), else "".
std::string no_modem_report(const PortOpenRecord& record);
