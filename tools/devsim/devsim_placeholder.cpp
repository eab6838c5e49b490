// Replaced by the simulated device.
