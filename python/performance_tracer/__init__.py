"""The performance tracer from Python, as host-language code sees it.

    from performance_tracer import ZezaDazod
    ZezaDazod.Tracer.enable('grouping', 'Build')
    with ZezaDazod.Tracer.ScopedTracerData('Build', 'compile', 'Model', 'm1'):
        ...

Everything here is built by walking the host's object system: each namespace
becomes an object whose attributes are its functions, classes and inner
namespaces; each class a Python class with its static methods; a class with a
constructor is instantiated as a host object. Values travel as host arrays:
str, bool, int/float, list/tuple, dict and None map to character vectors,
logical scalars, doubles, cell rows, structs and empty arrays and back.
A host error is raised as HostError with its identifier, message arguments
and catalogue text.
"""

from . import _host
from ._host import HostError

HostError.__module__ = __name__

__all__ = ["ZezaDazod", "HostError"]


def _static_method(class_name, name):
    def call(*args):
        return _host.call_static(class_name, name, *args)
    call.__name__ = call.__qualname__ = name
    call.__doc__ = f"{class_name}.{name}, a static method of the host class."
    return staticmethod(call)


def _instance_method(name):
    def call(self, *args):
        return self._call(name, *args)
    call.__name__ = name
    return call


def _object_class(full_name, short_name, members):
    def __init__(self, *args):
        _host.HostObject.__init__(self, full_name, *args)

    # A host object is also a context manager that releases it on leaving.
    members.update(__init__=__init__, __doc__=f"{full_name}, a host class; its objects are host objects.")
    return type(short_name, (_host.HostObject,), members)


def _build_class(full_name, inner):
    short_name = full_name.rsplit(".", 1)[-1]
    members = {}
    constructible = False
    for method in _host.methods(full_name):
        if method["kind"] == "static":
            members[method["name"]] = _static_method(full_name, method["name"])
        elif method["kind"] == "instance":
            members[method["name"]] = _instance_method(method["name"])
        else:
            constructible = True
    # A class and a namespace may share a name (ZezaDazod.Tracer holds
    # ScopedTracerData): the namespace's members become the class's.
    if inner is not None:
        members.update((k, v) for k, v in vars(inner).items() if not k.startswith("__"))
    if constructible:
        return _object_class(full_name, short_name, members)
    members["__doc__"] = f"{full_name}, a host class of static methods."
    return type(short_name, (), members)


class _Namespace:
    def __init__(self, full_name):
        self.__name__ = full_name

    def __repr__(self):
        return f"<host namespace {self.__name__}>"


def _function(full_name):
    def call(*args):
        return _host.call_function(full_name, *args)
    call.__name__ = full_name.rsplit(".", 1)[-1]
    return call


def _build_namespace(full_name):
    info = _host.namespace(full_name)
    ns = _Namespace(full_name)
    inner = {n.rsplit(".", 1)[-1]: _build_namespace(n) for n in info["namespaces"]}
    for name in info["functions"]:
        setattr(ns, name, _function(f"{full_name}.{name}"))
    for class_name in info["classes"]:
        short_name = class_name.rsplit(".", 1)[-1]
        cls = _build_class(class_name, inner.pop(short_name, None))
        setattr(ns, short_name, cls)
    for short_name, inner_ns in inner.items():
        setattr(ns, short_name, inner_ns)
    return ns


ZezaDazod = _build_namespace("ZezaDazod")
