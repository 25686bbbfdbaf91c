"""The one error type of gruv3d-study: a German message for the user, no stack trace."""


class StudyError(Exception):
    """A problem the user can mend (bad table, template, study folder, missing program)."""
