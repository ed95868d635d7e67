int gbxSmoke() { return 1; }
