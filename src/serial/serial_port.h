// The only code that touches the serial port, and the debug log.
// Results: 0 success, -1 failure; counts are never negative.
#pragma once

void log_line(const char* text);

int port_open_device(int port_number);
int port_configure(int port_number);
int port_read(char* dest, int max_count);
int port_write(const char* data, int count);
void port_settle();
void port_send_immediate(char ch);
void port_close();

// Read into job.rx_buf at offset, at most max_count characters; no terminator.
int comm_read(int offset, int max_count);

// The pause of port_settle, in milliseconds.
constexpr unsigned PORT_SETTLE_MS = 55;
