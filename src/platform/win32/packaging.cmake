# Placeholder; filled below.
