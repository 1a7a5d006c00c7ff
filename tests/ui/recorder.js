.pragma library

// Wraps a model so every operation a view calls on it is recorded (name and arguments)
// before it runs: the view tests then check which operation a control ran.
function recorder(model, calls) {
    return new Proxy(model, {
        get(target, key) {
            const value = target[key]
            if (typeof value !== "function")
                return value
            return (...args) => { calls.push([key].concat(args)); return value.apply(target, args) }
        }
    })
}
