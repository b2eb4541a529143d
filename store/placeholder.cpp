// Removed once the store has sources of its own.
