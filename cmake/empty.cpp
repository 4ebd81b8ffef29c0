// Stands in for the sources of a subsystem that has none yet.
