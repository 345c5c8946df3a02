# Man page and Debian package.
