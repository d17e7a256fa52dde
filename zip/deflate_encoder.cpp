// Placeholder until the deflate encoder lands.
