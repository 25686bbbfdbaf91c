// Placeholder until the oracle suite lands.
