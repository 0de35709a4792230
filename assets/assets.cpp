// The resources are compiled into this library by qt_add_resources.
