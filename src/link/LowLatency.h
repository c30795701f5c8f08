#pragma once

// Asks the kernel to hand received bytes over at once. A USB serial adapter's
// driver otherwise holds them for its latency timer (16 ms on common
// adapters), which on a stop-and-wait protocol adds that time to every
// command. Devices that do not support the request (a pseudo-terminal answers
// ENOTTY) are left as they are.
void requestLowLatency(int fileDescriptor);
