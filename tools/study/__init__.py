"""Parameter studies with gruv3d: one template deck, many runs (package of gruv3d-study)."""
