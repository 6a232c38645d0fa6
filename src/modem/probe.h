// One complete AT dialogue on COMn, n = job.com_port.
#pragma once

enum ProbeResult : int {
    PROBE_NEXT_PORT = 1,
    PROBE_RRFL_RUNNING = 2,
    PROBE_FULL_LOAD = 3,
    PROBE_ENTER_RRFL = 4,
    PROBE_ABANDON = 5,
};

int probe_modem();
