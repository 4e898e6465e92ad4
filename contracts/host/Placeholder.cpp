// Keeps the library non-empty until the first host sources land.
