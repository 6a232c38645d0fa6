#include "platform/posix/open_failures.h"

#include "app/flash_job.h"
#include "app/job_step.h"
#include "modem/probe.h"
#include "platform/posix/posix_serial.h"
#include "platform/posix/terminal_text.h"

#include <algorithm>
#include <cerrno>

namespace {

bool is_missing(int error)
{
    return error == ENOENT || error == ENODEV || error == ENXIO;
}

// "tried COM4 to COM1: /dev/ttyS3 to /dev/ttyS0"
std::string tried_ports(const std::vector<PortOpenOutcome>& outcomes)
{
    const PortOpenOutcome& first = outcomes.front();
    const PortOpenOutcome& last = outcomes.back();
    if (outcomes.size() == 1)
        return "tried " + first.com_name + ": " + first.path;
    return "tried " + first.com_name + " to " + last.com_name + ": " + first.path + " to " + last.path;
}

}  // namespace

void PortOpenRecord::note(const char* com_name, const char* path, bool mapped, int error)
{
    auto same_port = [&](const PortOpenOutcome& o) { return o.com_name == com_name; };
    auto known = std::find_if(outcomes_.begin(), outcomes_.end(), same_port);
    PortOpenOutcome& outcome = known != outcomes_.end() ? *known : outcomes_.emplace_back();
    outcome = {com_name, path, mapped, error};
}

bool worth_reporting(const PortOpenOutcome& outcome, const std::vector<SerialPortInfo>& ports)
{
    if (outcome.error == 0)
        return false;
    if (outcome.mapped)
        return true;
    const SerialPortInfo* port = find_port_of(ports, outcome.path);
    if (port && !port->has_uart)
        return false;
    // EIO is what opening an 8250 port without hardware gives.
    return !is_missing(outcome.error) && outcome.error != EIO;
}

std::string open_failure_report(const std::vector<PortOpenOutcome>& outcomes, const std::vector<SerialPortInfo>& ports)
{
    std::string failures;
    bool mapped_missing = false;
    for (const PortOpenOutcome& outcome : outcomes) {
        if (!worth_reporting(outcome, ports))
            continue;
        char line[1024];
        platform::describe_open_failure(outcome.error, outcome.com_name.c_str(), outcome.path.c_str(), line, sizeof line);
        failures += "  " + printable(line, false) + "\n";
        mapped_missing = mapped_missing || (outcome.mapped && is_missing(outcome.error));
    }
    auto opened = [](const PortOpenOutcome& o) { return o.error == 0; };
    auto mapped = [](const PortOpenOutcome& o) { return o.mapped; };
    bool nothing_usable = !outcomes.empty() && std::none_of(outcomes.begin(), outcomes.end(), opened) &&
                          std::none_of(outcomes.begin(), outcomes.end(), mapped);

    std::string text = failures.empty() ? "" : "Ports that could not be opened:\n" + failures;
    if (mapped_missing || nothing_usable) {
        if (failures.empty())
            text = printable(("No COM port could be opened (" + tried_ports(outcomes) + ").\n").c_str(), true);
        text += describe_ports(ports) + mapping_hint(ports);
    }
    return text;
}

std::string no_modem_report(const PortOpenRecord& record)
{
    bool no_modem = !job_succeeded() && job.probe_result == PROBE_NEXT_PORT && job.com_port == 0;
    if (!no_modem)
        return "";
    return open_failure_report(record.outcomes(), scan_serial_ports("/sys", "/dev"));
}
