# Desktop integration: the desktop entry, icon and MIME types.
