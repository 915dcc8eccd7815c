// The native half of the Python package: the host's object system seen from
// Python. The package walks what it reports and builds the namespaces and
// classes from it; calls go through here with host arrays in and out.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <memory>
#include <string>
#include <vector>

#include "bindings/module_entry.h"
#include "platform/host_array.h"
#include "platform/host_messages.h"
#include "platform/object_system.h"

namespace py = pybind11;

namespace {

using platform::HostArrayPtr;

// Texts keep their bytes both ways: host characters are bytes, and bytes that
// are not UTF-8 come back as lone surrogates that encode to the same bytes.
HostArrayPtr textToHost(PyObject* text) {
  Py_ssize_t size = 0;
  PyObject* bytes = PyUnicode_AsEncodedString(text, "utf-8", "surrogateescape");
  if (bytes == nullptr) throw py::error_already_set();
  char* data = nullptr;
  PyBytes_AsStringAndSize(bytes, &data, &size);
  HostArrayPtr result(haCreateStringFromNChars(data, static_cast<std::size_t>(size)));
  Py_DECREF(bytes);
  return result;
}

py::object textFromHost(const haArray* array) {
  const std::string bytes = haArrayToStdString(array);
  PyObject* text = PyUnicode_DecodeUTF8(bytes.data(), static_cast<Py_ssize_t>(bytes.size()), "surrogateescape");
  if (text == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::object>(text);
}

[[noreturn]] void unmapped(const std::string& where, py::handle value, const char* why) {
  throw py::type_error(where + ": " + why + " (got " + std::string(py::str(py::type::of(value).attr("__name__"))) +
                       ")");
}

HostArrayPtr toHost(py::handle value, const std::string& where) {
  PyObject* o = value.ptr();
  if (o == Py_None) return HostArrayPtr(haCreateDoubleMatrix(0, 0, haREAL));
  if (PyBool_Check(o)) return HostArrayPtr(haCreateLogicalScalar(o == Py_True));
  if (PyUnicode_Check(o)) return textToHost(o);
  if (PyFloat_Check(o)) return HostArrayPtr(haCreateDoubleScalar(PyFloat_AS_DOUBLE(o)));
  if (PyLong_Check(o)) {
    const double number = PyLong_AsDouble(o);
    if (number == -1.0 && PyErr_Occurred()) {
      PyErr_Clear();
      unmapped(where, value, "an int too large for a double");
    }
    return HostArrayPtr(haCreateDoubleScalar(number));
  }
  if (PyList_Check(o) || PyTuple_Check(o)) {
    const py::sequence items = py::reinterpret_borrow<py::sequence>(value);
    HostArrayPtr cell(haCreateCellMatrix(1, items.size()));
    for (std::size_t i = 0; i < items.size(); ++i)
      haSetCell(cell.get(), i, toHost(items[i], where + "[" + std::to_string(i) + "]").release());
    return cell;
  }
  if (PyDict_Check(o)) {
    const py::dict fields = py::reinterpret_borrow<py::dict>(value);
    std::vector<std::string> names;
    for (auto [key, unused] : fields) {
      if (!PyUnicode_Check(key.ptr()) || PyUnicode_GetLength(key.ptr()) == 0)
        unmapped(where, key, "a struct field name must be a non-empty str");
      names.push_back(key.cast<std::string>());
    }
    std::vector<const char*> pointers;
    for (const std::string& name : names) pointers.push_back(name.c_str());
    const std::size_t dims[] = {1, 1};
    HostArrayPtr s(haCreateStructArray(2, dims, static_cast<int>(names.size()), pointers.data()));
    int field = 0;
    for (auto [key, item] : fields) {
      haSetFieldByNumber(s.get(), 0, field, toHost(item, where + "['" + names[field] + "']").release());
      ++field;
    }
    return s;
  }
  unmapped(where, value, "no host value maps to this type");
}

py::object fromHost(const haArray* array);

py::object structElement(const haArray* array, std::size_t element) {
  py::dict fields;
  for (int f = 0; f < haGetNumberOfFields(array); ++f)
    fields[py::str(haGetFieldNameByNumber(array, f))] = fromHost(haGetFieldByNumber(array, element, f));
  return fields;
}

py::object numericElement(const haArray* array, std::size_t i) {
  switch (haGetClassID(array)) {
    case haLOGICAL_CLASS: return py::bool_(haGetElements<bool>(array)[i]);
    case haDOUBLE_CLASS: return py::float_(haGetElements<double>(array)[i]);
    case haSINGLE_CLASS: return py::float_(haGetElements<float>(array)[i]);
    case haINT8_CLASS: return py::int_(haGetElements<std::int8_t>(array)[i]);
    case haUINT8_CLASS: return py::int_(haGetElements<std::uint8_t>(array)[i]);
    case haINT16_CLASS: return py::int_(haGetElements<std::int16_t>(array)[i]);
    case haUINT16_CLASS: return py::int_(haGetElements<std::uint16_t>(array)[i]);
    case haINT32_CLASS: return py::int_(haGetElements<std::int32_t>(array)[i]);
    case haUINT32_CLASS: return py::int_(haGetElements<std::uint32_t>(array)[i]);
    case haINT64_CLASS: return py::int_(haGetElements<std::int64_t>(array)[i]);
    case haUINT64_CLASS: return py::int_(haGetElements<std::uint64_t>(array)[i]);
    default:
      throw py::type_error(std::string("a host value of class ") + haGetClassName(array) + " has no Python form");
  }
}

// Scalars come back as one value; other arrays as a list in storage order.
py::object fromHost(const haArray* array) {
  if (array == nullptr) return py::none();
  const std::size_t n = haGetNumberOfElements(array);
  if (haIsChar(array)) return textFromHost(array);
  if (haIsCell(array)) {
    py::list items;
    for (std::size_t i = 0; i < n; ++i) items.append(fromHost(haGetCell(array, i)));
    return items;
  }
  if (haIsStruct(array)) {
    if (n == 1) return structElement(array, 0);
    py::list elements;
    for (std::size_t i = 0; i < n; ++i) elements.append(structElement(array, i));
    return elements;
  }
  if (n == 0) return py::none();
  if (n == 1) return numericElement(array, 0);
  py::list items;
  for (std::size_t i = 0; i < n; ++i) items.append(numericElement(array, i));
  return items;
}

// Inputs converted for one call, each named by its position in errors.
struct HostInputs {
  HostInputs(const std::string& callee, const py::args& args) {
    owned.reserve(args.size());
    views.reserve(args.size());
    for (std::size_t i = 0; i < args.size(); ++i) {
      owned.push_back(toHost(args[i], callee + ": argument " + std::to_string(i + 1)));
      views.push_back(owned.back().get());
    }
  }
  std::vector<HostArrayPtr> owned;
  std::vector<const haArray*> views;
};

py::object results(const std::vector<HostArrayPtr>& outputs) {
  if (outputs.empty()) return py::none();
  if (outputs.size() == 1) return fromHost(outputs.front().get());
  py::tuple values(outputs.size());
  for (std::size_t i = 0; i < outputs.size(); ++i) values[i] = fromHost(outputs[i].get());
  return values;
}

// Outputs asked for: the first one when the method declares any, since a
// host call with no outputs still keeps the first as its answer.
int outputsAsked(const vesk::COSMethodInfo& method) { return method.getSignature().outputs().empty() ? 0 : 1; }

const vesk::COSClass& classNamed(const std::string& fullName) {
  const vesk::COSClass* cls = vesk::COSClass::getClass(fullName);
  if (cls == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedClass", fullName);
  return *cls;
}

py::dict describeMethod(const vesk::COSMethodInfo& method) {
  const vesk::COSMethodSignature& signature = method.getSignature();
  py::dict d;
  d["name"] = method.getName();
  d["kind"] = method.getKind() == vesk::COSMethodInfo::Kind::kStatic     ? "static"
              : method.getKind() == vesk::COSMethodInfo::Kind::kInstance ? "instance"
                                                                         : "constructor";
  d["inputs"] = signature.inputs().size();
  d["open"] = signature.isLastInputOpen();
  d["outputs"] = signature.outputs().size();
  return d;
}

// A host object; releasing it (or its garbage collection) hands the native
// instance back to its class, which for a scoped point logs the end.
class HostObject {
 public:
  HostObject(const std::string& className, const py::args& args) {
    const HostInputs inputs(className, args);
    object_ = vesk::createObject(className, inputs.views);
  }
  py::object call(const std::string& method, const py::args& args) {
    if (!object_) throw py::value_error("the host object was released");
    const vesk::COSMethodInfo* info = object_->getClass().findMethod(method);
    const HostInputs inputs(object_->getClass().getFullName() + "." + method, args);
    return results(object_->call(method, inputs.views, info ? outputsAsked(*info) : 0));
  }
  void release() { object_.reset(); }
  bool released() const { return !object_; }

 private:
  std::unique_ptr<vesk::COSInterface> object_;
};

}  // namespace

PYBIND11_MODULE(_host, m) {
  m.doc() = "The host object system as the performance_tracer package sees it.";
  // Loaded as the host loads the library: through its module entry.
  KVInitialize_performance_tracer();

  static py::exception<platform::HostError> hostError(m, "HostError");
  py::register_exception_translator([](std::exception_ptr raised) {
    try {
      if (raised) std::rethrow_exception(raised);
    } catch (const platform::HostError& e) {
      py::object error = py::reinterpret_borrow<py::object>(hostError.ptr())(py::str(e.what()));
      error.attr("identifier") = e.identifier();
      error.attr("arguments") = py::tuple(py::cast(e.arguments()));
      error.attr("message") = e.what();
      PyErr_SetObject(hostError.ptr(), error.ptr());
    }
  });

  m.def(
      "namespace",
      [](const std::string& fullName) -> py::object {
        const vesk::COSNamespace* ns = vesk::COSNamespace::getNamespace(fullName);
        if (ns == nullptr) return py::none();
        py::dict d;
        d["functions"] = ns->getFunctionNames();
        py::list classes, inner;
        for (const vesk::COSClass* cls : ns->getClasses()) classes.append(cls->getFullName());
        for (const vesk::COSNamespace* in : ns->getInnerNamespaces()) inner.append(in->getFullName());
        d["classes"] = classes;
        d["namespaces"] = inner;
        return d;
      },
      "Functions, classes and inner namespaces of a namespace, by full name; None when unknown.");
  m.def("function", [](const std::string& fullName) {
    const std::size_t dot = fullName.rfind('.');
    const vesk::COSNamespace* ns = vesk::COSNamespace::getNamespace(fullName.substr(0, dot));
    const vesk::COSMethodInfo* f = ns ? ns->findFunction(fullName.substr(dot + 1)) : nullptr;
    if (f == nullptr) haErrorMsgIdAndTxt("vesk:UndefinedFunction", fullName);
    return describeMethod(*f);
  });
  m.def(
      "methods",
      [](const std::string& className) {
        py::list methods;
        for (const vesk::COSMethodInfo* method : classNamed(className).getMethods())
          methods.append(describeMethod(*method));
        return methods;
      },
      "The methods of a class, in registration order.");
  m.def("call_static", [](const std::string& className, const std::string& method, const py::args& args) {
    const vesk::COSClass& cls = classNamed(className);
    const vesk::COSMethodInfo* info = cls.findMethod(method);
    const HostInputs inputs(className + "." + method, args);
    return results(cls.callStatic(method, inputs.views, info ? outputsAsked(*info) : 0));
  });
  m.def("call_function", [](const std::string& fullName, const py::args& args) {
    const HostInputs inputs(fullName, args);
    return results(vesk::callFunction(fullName, inputs.views, 0));
  });
  m.def(
      "round_trip", [](py::object value) { return fromHost(toHost(value, "value").get()); },
      "The value taken to a host array and back.");

  py::class_<HostObject>(m, "HostObject")
      .def(py::init<const std::string&, const py::args&>())
      .def("_call", &HostObject::call)
      .def("_release", &HostObject::release)
      // Leaving a `with` block releases the object, as leaving its scope does
      // in host code (a scoped point logs its end then), exception or not.
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__",
           [](HostObject& self, const py::args&) {
             self.release();
             return false;
           })
      .def_property_readonly("_released", &HostObject::released);
}
