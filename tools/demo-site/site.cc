// Replaced by the demo site implementation.
